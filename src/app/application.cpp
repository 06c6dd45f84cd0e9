#include "app/application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "listing/directory_listing.h"
#include "platform/qt/qt_program_end.h"
#include "platform/services/interruption.h"
#include "platform/services/posix_file_system.h"
#include "platform/services/run_time_error.h"
#include "ui/form1.h"
#include "ui/program_icon.h"
#include "version.h"

namespace kavo {

namespace {

bool hasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

int runApplication(int argc, char** argv) {
  // The window takes no arguments of its own; these two answer without a
  // display, for the manual page and for whoever asks.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf(
          "Usage: simplekavo\n"
          "Open the SimpleKAVO window: pick a folder of game ROM files, filter it\n"
          "if you like (\"*.sms; *.gg\"), pick a destination, and press\n"
          "\"Save FILES.TXT\" to copy the files into the directories ROMS0, ROMS1,\n"
          "... of 30 files each with the index FILES.TXT an emulator reads.\n"
          "\n"
          "  --help     show this help and exit\n"
          "  --version  show the version and exit\n"
          "\n"
          "The same export runs from the command line as simplekavo-export.\n");
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("simplekavo %s\n", kVersion);
      return 0;
    }
  }
  // Without a display Qt aborts with a long story; one line says it better.
  if (!hasDisplay()) {
    std::fputs(
        "simplekavo: no display (DISPLAY and WAYLAND_DISPLAY are unset); "
        "to run without a screen, start it under Xvfb: "
        "xvfb-run -a simplekavo\n",
        stderr);
    return 2;
  }
  ignoreFileSizeLimitSignal();
  QApplication application(argc, argv);
  QApplication::setApplicationName("SimpleKAVO");
  QApplication::setApplicationVersion(kVersion);
  QApplication::setWindowIcon(programIcon());

  PosixFileSystem files;
  QtProgramEnd programEnd;
  // Every list starts where the program was started, as a file dialog does.
  std::string start = "/";
  try {
    start = currentDirectory();
  } catch (const RunTimeError&) {
    // A working directory that has gone: start at the root.
  }
  Form1 window(files, programEnd, start);
  window.show();
  return QApplication::exec();
}

}  // namespace kavo
