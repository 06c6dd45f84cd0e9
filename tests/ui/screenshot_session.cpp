// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window as the program shows it, on the disk, for the pictures in
// docs/ that scripts/screenshot-export takes: every copy is slowed down so
// that an export lasts long enough to be seen under way, and a stand-in
// ejector says that the destination lies on a removable drive (a machine
// under Xvfb has none), so that the completion box offers Eject.
//
//   screenshot_session FOLDER [MILLISECONDS]
//
// FOLDER is where the lists start; each copy waits MILLISECONDS (40) first.
#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/qt/qt_program_end.h"
#include "platform/services/drive_eject.h"
#include "platform/services/host_file_system.h"
#include "support/watching_file_system.h"
#include "ui/form1.h"
#include "ui/program_icon.h"

namespace {

class StandInEjector final : public kavo::DriveEjector {
 public:
  bool canEject(const std::string&) override { return true; }
  kavo::EjectResult eject(const std::string&) override {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return {kavo::EjectOutcome::Ejected, true, "USB Flash Disk", {}};
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  QApplication application(argc, argv);
  QApplication::setApplicationName("SimpleKAVO");
  QApplication::setWindowIcon(kavo::programIcon());
  const std::chrono::milliseconds pause(argc > 2 ? std::atoi(argv[2]) : 40);
  const std::unique_ptr<kavo::FileSystem> disk = kavo::hostFileSystem();
  kavo::testing::WatchingFileSystem slow(
      *disk, [pause](kavo::FileCall call, const std::string&, const std::string&) {
        if (call == kavo::FileCall::Copy) std::this_thread::sleep_for(pause);
      });
  StandInEjector ejector;
  kavo::QtProgramEnd programEnd;
  kavo::Form1 window(slow, programEnd, argv[1]);
  window.setDriveEjector(ejector);
  window.show();
  return QApplication::exec();
}
