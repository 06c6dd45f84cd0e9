// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "controls/file_list_box.h"

#include <QStringList>

#include "controls/list_looks.h"
#include "listing/directory_listing.h"
#include "listing/file_pattern.h"
#include "platform/services/run_time_error.h"

namespace kavo {

FileListBox::FileListBox(FileSystem& files, const std::string& startDirectory, QWidget* parent)
    : QListWidget(parent), files_(files), directory_(startDirectory) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  showWholeNames(this);
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
  entries_ = listFiles(files_, directory_, FilePattern(pattern_));
  QStringList shown;
  shown.reserve(static_cast<qsizetype>(entries_.size()));
  for (const std::string& name : entries_)
    shown.append(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  addItems(shown);
}

}  // namespace kavo
