#include "platform/drive_list_box.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include "platform/directory_listing.h"
#include "platform/run_time_error.h"

namespace kavo {

namespace {

std::string bytesOf(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

std::string currentVolume() {
  return bytesOf(QStorageInfo(QDir::currentPath()).rootPath());
}

std::string currentPath() {
  try {
    return currentDirectory();
  } catch (const RunTimeError&) {
    return "/";
  }
}

}  // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
  connect(this, &QComboBox::activated, this, &DriveListBox::userPicked);
  setDrives(machineDrives());
}

std::vector<Drive> DriveListBox::machineDrives() {
  std::vector<Volume> volumes;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    if (!info.isValid() || !info.isReady()) continue;
    volumes.push_back({bytesOf(info.rootPath()),
                       info.fileSystemType().toStdString(),
                       info.name().toStdString()});
  }
  return selectDrives(volumes, currentVolume());
}

void DriveListBox::setDrives(std::vector<Drive> drives) {
  drives_ = std::move(drives);
  QSignalBlocker quiet(this);
  clear();
  for (const Drive& drive : drives_)
    addItem(QString::fromUtf8(drive.text.data(),
                              static_cast<qsizetype>(drive.text.size())));
  shown_ = -1;
  showDriveOf(currentPath());
}

std::string DriveListBox::drive() const {
  const int index = currentIndex();
  if (index < 0 || index >= static_cast<int>(drives_.size())) return {};
  return drives_[index].text;
}

void DriveListBox::showDriveOf(const std::string& path) {
  const int index = driveHolding(drives_, path);
  QSignalBlocker quiet(this);
  setCurrentIndex(index);
  shown_ = index;
}

void DriveListBox::userPicked(int index) {
  if (index == shown_) return;
  shown_ = index;
  emit change();
}

}  // namespace kavo
