#pragma once

#include <QComboBox>
#include <string>
#include <vector>

#include "platform/drives.h"

namespace kavo {

// A drop-down list of the machine's drives: the mounted volumes that hold a
// real file system. It starts on the volume that holds the process's current
// directory and raises change() when the user picks another entry.
class DriveListBox : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveListBox(QWidget* parent = nullptr);

  // Replaces the entries and shows the one holding the current directory.
  void setDrives(std::vector<Drive> drives);

  // The chosen drive's text, as it is shown.
  std::string drive() const;

  // Shows the drive that holds `path` without raising change(): used to put
  // the list back when the chosen drive could not be opened.
  void showDriveOf(const std::string& path);

  // The mounted volumes of this machine, as the list offers them.
  static std::vector<Drive> machineDrives();

 signals:
  void change();

 private:
  void userPicked(int index);

  std::vector<Drive> drives_;
  int shown_ = -1;
};

}  // namespace kavo
