// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QComboBox>
#include <functional>
#include <string>
#include <vector>

#include "listing/drives.h"

namespace kavo {

// A drop-down list of the machine's drives: the mounted volumes that hold a
// real file system. It starts on the volume that holds its start directory,
// reads the volumes again each time it is opened (a stick plugged in since
// appears), and raises change() when the user picks another entry. Each
// drive's whole text is its tooltip, in the open list and on the chosen one.
class DriveListBox : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveListBox(const std::string& startDirectory, QWidget* parent = nullptr);

  // Replaces the entries and shows the one holding the start directory.
  void setDrives(std::vector<Drive> drives);

  // Where the list reads the drives when it is opened; the machine's
  // mounted volumes unless set.
  void setDriveSource(std::function<std::vector<Drive>()> source) { source_ = std::move(source); }

  void showPopup() override;

  // The chosen drive's text, as it is shown.
  std::string drive() const;

  // The directory the chosen drive opens: its mount point.
  std::string mountPoint() const;

  // Shows the drive that holds `path` without raising change(): used to put
  // the list back when the chosen drive could not be opened.
  void showDriveOf(const std::string& path);

  // The mounted volumes of this machine, as the list offers them to a
  // program started in `startDirectory`.
  static std::vector<Drive> machineDrives(const std::string& startDirectory);

 signals:
  void change();

 private:
  void userPicked(int index);
  void showChosenWhole();
  const Drive* chosen() const;

  void fill();

  std::string startDirectory_;
  std::function<std::vector<Drive>()> source_;
  std::vector<Drive> drives_;
  int shown_ = -1;
};

}  // namespace kavo
