// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "controls/drive_list_box.h"

#include <QAbstractItemView>
#include <QFile>
#include <QStorageInfo>
#include <algorithm>

#include "controls/list_looks.h"

namespace kavo {

namespace {

std::string bytesOf(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

DriveListBox::DriveListBox(const std::string& startDirectory, QWidget* parent)
    : QComboBox(parent),
      startDirectory_(startDirectory),
      source_([this] { return machineDrives(startDirectory_); }) {
  connect(this, &QComboBox::activated, this, &DriveListBox::userPicked);
  showWholeNames(view());
  setDrives(source_());
}

// Reads the drives again before the list opens, keeping the one shown.
void DriveListBox::showPopup() {
  std::vector<Drive> drives = source_();
  if (drives.size() != drives_.size() || !std::equal(drives.begin(), drives.end(), drives_.begin(),
                                                     [](const Drive& a, const Drive& b) {
                                                       return a.text == b.text &&
                                                              a.mountPoint == b.mountPoint;
                                                     })) {
    const std::string shown = mountPoint();
    drives_ = std::move(drives);
    fill();
    showDriveOf(shown);
  }
  QComboBox::showPopup();
}

std::vector<Drive> DriveListBox::machineDrives(const std::string& startDirectory) {
  std::vector<Volume> volumes;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    if (!info.isValid() || !info.isReady()) continue;
    volumes.push_back(
        {bytesOf(info.rootPath()), info.fileSystemType().toStdString(), info.name().toStdString()});
  }
  const QStorageInfo start(QFile::decodeName(QByteArray::fromStdString(startDirectory)));
  return selectDrives(volumes, bytesOf(start.rootPath()));
}

void DriveListBox::setDrives(std::vector<Drive> drives) {
  drives_ = std::move(drives);
  fill();
  showDriveOf(startDirectory_);
}

void DriveListBox::fill() {
  QSignalBlocker quiet(this);
  clear();
  for (const Drive& drive : drives_)
    addItem(QString::fromUtf8(drive.text.data(), static_cast<qsizetype>(drive.text.size())));
  shown_ = -1;
}

const Drive* DriveListBox::chosen() const {
  const int index = currentIndex();
  if (index < 0 || index >= static_cast<int>(drives_.size())) return nullptr;
  return &drives_[index];
}

std::string DriveListBox::drive() const { return chosen() ? chosen()->text : std::string(); }

std::string DriveListBox::mountPoint() const {
  return chosen() ? chosen()->mountPoint : std::string();
}

void DriveListBox::showDriveOf(const std::string& path) {
  const int index = driveHolding(drives_, path);
  QSignalBlocker quiet(this);
  setCurrentIndex(index);
  shown_ = index;
  showChosenWhole();
}

// The chosen drive's whole text, which the closed list may cut.
void DriveListBox::showChosenWhole() {
  setToolTip(currentIndex() < 0 ? QString() : wholeNameTip(currentText()));
}

void DriveListBox::userPicked(int index) {
  if (index == shown_) return;
  shown_ = index;
  showChosenWhole();
  emit change();
}

}  // namespace kavo
