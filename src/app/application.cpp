#include "app/application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "platform/interruption.h"
#include "platform/posix_file_system.h"
#include "platform/qt_program_end.h"
#include "ui/form1.h"
#include "ui/program_icon.h"

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
  QApplication::setApplicationVersion("1.00");
  QApplication::setWindowIcon(programIcon());

  PosixFileSystem files;
  QtProgramEnd programEnd;
  Form1 window(files, programEnd);
  window.show();
  return QApplication::exec();
}

}  // namespace kavo
