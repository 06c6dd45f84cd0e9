// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "export/export_plan.h"
#include "export/export_summary.h"
#include "platform/services/dialogs.h"
#include "platform/services/drive_eject.h"
#include "platform/services/file_system.h"
#include "platform/services/program_end.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kavo {

class DirListBox;
class DriveListBox;
class FileListBox;

// The program's one window, "Simple KAVO 1.0": a source band (drive,
// directory and file list, the "Filter" switch and its pattern), a
// destination band (drive and directory list) and the buttons "Quit" and
// "Save FILES.TXT". Each control's objectName is its name:
//
//   Drive1     source drive list        Drive2     destination drive list
//   Dir1       source directory list    Dir2       destination directory list
//   File1      source file list: the files an export takes, in list order
//   Check1     "Filter": ticked, File1 lists what txtFilter held then
//   txtFilter  the filter's patterns, "*.sms; *.gg" to start
//   Label1     "Source ROMS"            Label2     "Destination Output"
//   Command1   "Save FILES.TXT": the export
//   cmdQuit    "Quit"
class Form1 : public QWidget {
  Q_OBJECT

 public:
  // The lists start at `startDirectory` and its drive. `dialogs` answers the
  // prompts and shows the messages; when null, the window shows Qt's own
  // dialogs over itself.
  Form1(FileSystem& files, ProgramEnd& programEnd, const std::string& startDirectory,
        Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~Form1() override;

  // How long an export runs before its progress dialog comes up.
  void setProgressDelay(std::chrono::milliseconds delay) { progressDelay_ = delay; }

  // What ejects the destination's drive after an export: the host's unless
  // set. It must outlive the window.
  void setDriveEjector(DriveEjector& ejector) { ejector_ = &ejector; }

 private:
  // The six handled events.
  void Drive1_Change();
  void Dir1_Change();
  void Drive2_Change();
  void Check1_Click();
  void cmdQuit_Click();
  void Command1_Click();

  // What an export did, and whether its destination's drive can be ejected.
  struct Exported {
    ExportSummary summary;
    bool ejectable = false;
  };
  std::optional<Exported> exportAsking(ExportRequest& request);
  std::optional<ExportPlan> planAsking(ExportRequest& request, DirectoryClaims& claims);
  bool askAboutLostCharacters(const ExportPlan& plan);
  void reportCompletion(const Exported& exported, const ExportRequest& request);
  EjectResult ejectDrive(const std::string& folder);

  void createControls(const std::string& startDirectory);
  void browse(const std::function<void()>& body);
  void openChosenDrive(DriveListBox* drives, DirListBox* directories);

  std::unique_ptr<Dialogs> ownDialogs_;
  FileSystem& files_;
  Dialogs& dialogs_;
  ProgramEnd& programEnd_;
  std::chrono::milliseconds progressDelay_{500};
  std::unique_ptr<DriveEjector> ownEjector_;
  DriveEjector* ejector_;

  DriveListBox* Drive1 = nullptr;
  DirListBox* Dir1 = nullptr;
  FileListBox* File1 = nullptr;
  DriveListBox* Drive2 = nullptr;
  DirListBox* Dir2 = nullptr;
  QCheckBox* Check1 = nullptr;
  QLineEdit* txtFilter = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* cmdQuit = nullptr;
};

}  // namespace kavo
