// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/application.h"

#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>

#include "app/application_host.h"
#include "platform/qt/qt_program_end.h"
#include "platform/services/current_directory.h"
#include "platform/services/host_file_system.h"
#include "platform/services/interruption.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"
#include "ui/form1.h"
#include "ui/program_icon.h"
#include "version.h"

namespace kavo {

namespace {

// Where the program was started, or the root when that folder has gone.
std::string workingDirectoryOrRoot() {
  try {
    return currentDirectory();
  } catch (const RunTimeError&) {
    return application_host::fallbackStartFolder();
  }
}

// Whether `path` names a folder, or a link to one.
bool isFolder(FileSystem& files, const std::string& path) {
  try {
    return files.status(path, Look::Target).type == FileType::Directory;
  } catch (const RunTimeError&) {
    return false;
  }
}

constexpr char kUsage[] = "Usage: simplekavo [FOLDER]\n";

// A problem with the command line, said as the command line program says
// it; the status to leave with.
int badUsage(const std::string& problem) {
  std::fprintf(stderr, "simplekavo: %s\n%sTry 'simplekavo --help' for more information.\n",
               problem.c_str(), kUsage);
  return 2;
}

// The window takes one argument of its own, the folder its lists start in
// (`start`, made full); --help and --version answer without a display, for
// the manual page and for whoever asks. The status to leave with at once,
// or nothing when the window is to open.
std::optional<int> readCommandLine(int argc, char** argv, FileSystem& files, std::string& start) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::printf(
          "%s"
          "Open the SimpleKAVO window: pick a folder of game ROM files, filter it\n"
          "if you like (\"*.sms; *.gg\"), pick a destination, and press\n"
          "\"Save FILES.TXT\" to copy the files into the directories ROMS0, ROMS1,\n"
          "... of at most 30 files each with the index FILES.TXT an emulator reads.\n"
          "A zipped game (.zip, .7z, .gz) is listed under its archive's name,\n"
          "filtered by the ROM inside, and unpacked on the way.\n"
          "Both lists start in FOLDER, or where the program was started.\n"
          "\n"
          "  --help     show this help and exit\n"
          "  --version  show the version and exit\n"
          "\n"
          "The same export runs from the command line as simplekavo-export.\n"
          "\n"
          "Examples:\n"
          "  simplekavo ~/roms\n"
          "      Open the window with both lists in ~/roms.\n",
          kUsage);
      return 0;
    }
    if (arg == "--version") {
      std::printf("simplekavo %s\n%s", kVersion, kCopyright);
      return 0;
    }
    if (arg.size() > 1 && arg.front() == '-')
      return badUsage(std::string("unknown option ").append(arg));
    if (!start.empty()) return badUsage(std::string("unexpected ").append(arg));
    start = arg;
  }
  if (!start.empty()) {
    if (!isFolder(files, start)) return badUsage(std::string("not a folder: ").append(start));
    if (!paths::isAbsolute(start)) start = paths::join(currentDirectory(), start);
  }
  return std::nullopt;
}

}  // namespace

int runApplication(int argc, char** argv) {
  application_host::useStartingConsole();
  const std::unique_ptr<FileSystem> host = hostFileSystem();
  FileSystem& files = *host;
  std::string start;
  if (const std::optional<int> status = readCommandLine(argc, argv, files, start)) return *status;
  // Without a display Qt aborts with a long story; one line says it better.
  if (const std::string why = application_host::whyNoWindow(); !why.empty()) {
    std::fprintf(stderr, "simplekavo: %s\n", why.c_str());
    return 2;
  }
  ignoreFileSizeLimitSignal();
  QApplication application(argc, argv);
  QApplication::setApplicationName("SimpleKAVO");
  QApplication::setApplicationVersion(kVersion);
  QApplication::setWindowIcon(programIcon());

  QtProgramEnd programEnd;
  // Every list starts in the folder given, or where the program was
  // started, as a file dialog does.
  if (start.empty()) start = workingDirectoryOrRoot();
  Form1 window(files, programEnd, start);
  window.show();
  return QApplication::exec();
}

}  // namespace kavo
