// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times an export through the real window, offscreen, against
// simplekavo-export on the same files, in the same run and on the same disk:
// the window should cost nothing over the command line.
//
//   window_benchmark --dir DIR --program PATH [--files N] [--rounds N]
//
// The window starts in a folder of N files of 1 KiB (20,000 unless told),
// its destination list is opened on a fresh folder, and "Save FILES.TXT" is
// clicked; the prompt is answered with its proposal and the time runs until
// the completion message. The progress dialog comes up after its usual
// delay, as a user sees it. Each round writes into new folders, truncated
// afterwards (see export_benchmark.cpp), and the two take turns going first.

#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_files.h"
#include "controls/dir_list_box.h"
#include "median.h"
#include "platform/services/dialogs.h"
#include "platform/services/posix_file_system.h"
#include "platform/services/program_end.h"
#include "ui/form1.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void prepare(const std::string& source, int files) {
  const std::string marker = source + "/.complete-" + std::to_string(files);
  if (fs::exists(marker)) return;
  fs::remove_all(source);
  fs::create_directories(source);
  std::fprintf(stderr, "generating %d files of 1 KiB in %s\n", files, source.c_str());
  std::string bytes(1024, '\0');
  for (int i = 0; i < files; ++i) {
    for (std::size_t b = 0; b < bytes.size(); ++b)
      bytes[b] = static_cast<char>((i * 131 + static_cast<int>(b) * 7) & 0xff);
    std::ofstream(source + "/Game " + std::to_string(i) + ".sms", std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::ofstream(marker).put('\n');
  run("sync");
}

// Answers the prompt with its proposal and notes the completion message.
class AnsweringDialogs final : public kavo::Dialogs {
 public:
  std::string inputBox(const std::string&, const std::string&,
                       const std::string& proposed) override {
    return proposed;
  }
  bool question(const std::string&, const std::string&) override { return false; }
  void messageBox(const std::string& text, const std::string&) override { done(text); }
  void errorMessage(const std::string& text, const std::string&) override { done(text); }
  bool completion(const std::string& text, const std::string&, bool) override {
    done(text);
    return false;
  }
  void done(const std::string& text) {
    finished = Clock::now();
    message = text;
  }
  Clock::time_point finished;
  std::string message;
};

class StayingOpen final : public kavo::ProgramEnd {
 public:
  void end(int) override {}
};

double throughTheWindow(const std::string& source, const std::string& out) {
  kavo::PosixFileSystem files;
  AnsweringDialogs dialogs;
  StayingOpen programEnd;
  fs::create_directories(out);
  kavo::Form1 form(files, programEnd, source, &dialogs);
  form.show();
  QApplication::processEvents();
  form.findChild<kavo::DirListBox*>("Dir2")->setPath(out);
  auto* save = form.findChild<QPushButton*>("Command1");
  const auto start = Clock::now();
  save->click();
  if (dialogs.message != "Completed Successfully!  Press OK to exit") {
    std::fprintf(stderr, "the window's export failed: %s\n", dialogs.message.c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(dialogs.finished - start).count();
}

double byTheCommandLine(const std::string& program, const std::string& source,
                        const std::string& out) {
  fs::create_directories(out);
  const auto start = Clock::now();
  run(quoted(program) + " --quiet " + quoted(source) + " " + quoted(out) + " >/dev/null");
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  std::string dir = "bench-data", program;
  int files = 20000, rounds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i], value = argv[i + 1];
    if (arg == "--dir")
      dir = value;
    else if (arg == "--program")
      program = value;
    else if (arg == "--files")
      files = std::stoi(value);
    else if (arg == "--rounds")
      rounds = std::stoi(value);
    else {
      std::fprintf(stderr,
                   "usage: window_benchmark --dir DIR --program PATH [--files N] [--rounds N]\n");
      return 2;
    }
  }
  if (program.empty()) {
    std::fprintf(stderr, "--program names simplekavo-export\n");
    return 2;
  }
  dir = fs::absolute(dir).string();
  const std::string source = dir + "/window-source", place = dir + "/window-out";
  prepare(source, files);
  fs::remove_all(place);
  std::printf("%d files of 1 KiB, %d rounds, into %s\n", files, rounds, place.c_str());
  std::vector<double> window, cli;
  for (int round = 0; round < rounds; ++round) {
    const std::string prefix = place + "/" + std::to_string(round);
    auto byWindow = [&] {
      window.push_back(throughTheWindow(source, prefix + "-window"));
      truncateAll(prefix + "-window");
    };
    auto byCli = [&] {
      cli.push_back(byTheCommandLine(program, source, prefix + "-cli"));
      truncateAll(prefix + "-cli");
    };
    if (round % 2 == 0) {
      byWindow();
      byCli();
    } else {
      byCli();
      byWindow();
    }
  }
  fs::remove_all(place);
  run("sync");
  std::printf("%-28s median %.3f s  (", "through the window", median(window));
  for (double t : window) std::printf(" %.3f", t);
  std::printf(" )\n%-28s median %.3f s  (", "simplekavo-export", median(cli));
  for (double t : cli) std::printf(" %.3f", t);
  std::printf(" )\nratio %.3f\n", median(window) / median(cli));
  return 0;
}
