// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "controls/file_list_box.h"

#include <QStringList>

#include "listing/directory_listing.h"
#include "listing/file_pattern.h"
#include "platform/services/run_time_error.h"

namespace kavo {

FileListBox::FileListBox(FileSystem& files, const std::string& startDirectory, QWidget* parent)
    : QListWidget(parent), files_(files), directory_(startDirectory) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  try {
    reread();
  } catch (const RunTimeError&) {
    // An unreadable start directory lists nothing.
  }
}

void FileListBox::setDirectory(const std::string& directory) {
  directory_ = directory;
  reread();
}

void FileListBox::setPattern(const std::string& pattern) {
  pattern_ = pattern;
  reread();
}

void FileListBox::reread() {
  // Emptied first, so that a directory that cannot be read lists nothing.
  clear();
  entries_.clear();
  matching_.clear();
  matching_ = listFiles(files_, directory_, FilePattern(pattern_));
  relist();
}

void FileListBox::setNarrowing(Narrowing narrowing) {
  narrowing_ = std::move(narrowing);
  relist();
}

void FileListBox::relist() {
  clear();
  std::vector<Kept> kept;
  if (narrowing_) {
    kept = narrowing_(matching_);
  } else {
    kept.reserve(matching_.size());
    for (std::size_t i = 0; i < matching_.size(); ++i) kept.push_back({i, {}});
  }
  entries_.clear();
  entries_.reserve(kept.size());
  QStringList shown;
  shown.reserve(static_cast<qsizetype>(kept.size()));
  for (const Kept& file : kept) {
    const std::string& name = entries_.emplace_back(matching_.at(file.index));
    shown.append(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }
  addItems(shown);
  for (std::size_t row = 0; row < kept.size(); ++row)
    if (!kept[row].note.empty())
      item(static_cast<int>(row))->setToolTip(QString::fromStdString(kept[row].note));
}

}  // namespace kavo
