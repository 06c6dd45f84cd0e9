#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/program_end.h"

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
// "Save FILES.TXT". Each control's objectName is its name.
class Form1 : public QWidget {
  Q_OBJECT

 public:
  // `dialogs` answers the prompts and shows the messages; when null, the
  // window shows Qt's own dialogs over itself.
  Form1(FileSystem& files, ProgramEnd& programEnd, Dialogs* dialogs = nullptr,
        QWidget* parent = nullptr);
  ~Form1() override;

 private:
  // The six handled events.
  void Drive1_Change();
  void Dir1_Change();
  void Drive2_Change();
  void Check1_Click();
  void cmdQuit_Click();
  void Command1_Click();

  void createControls();
  void browse(const std::function<void()>& body);
  void openChosenDrive(DriveListBox* drives, DirListBox* directories);

  std::unique_ptr<Dialogs> ownDialogs_;
  FileSystem& files_;
  Dialogs& dialogs_;
  ProgramEnd& programEnd_;

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
