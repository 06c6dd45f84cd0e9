// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QListWidget>
#include <string>
#include <vector>

#include "platform/services/file_system.h"

namespace kavo {

// The file list: the names, without directory, of the regular files in its
// directory that match its pattern (see FilePattern), in list order (see
// listOrderLess). Setting the directory or the pattern re-reads at once; the
// pattern stays when the directory changes. Selecting an entry does nothing.
// Each entry's whole name is its tooltip, since the list is narrow.
class FileListBox : public QListWidget {
  Q_OBJECT

 public:
  // Starts at `startDirectory` with the pattern "*.*"; lists through `files`.
  FileListBox(FileSystem& files, const std::string& startDirectory, QWidget* parent = nullptr);

  const std::string& directory() const { return directory_; }
  const std::string& pattern() const { return pattern_; }

  // Both re-read the directory. When it cannot be read they throw
  // RunTimeError and leave the list empty, still set to the new directory
  // and pattern, so it never shows files of another directory.
  void setDirectory(const std::string& directory);
  void setPattern(const std::string& pattern);

  // The entries as the exact bytes of the names on disk; the list shows
  // them as UTF-8, with a replacement mark for bytes that are not.
  size_t entryCount() const { return entries_.size(); }
  const std::string& entry(size_t index) const { return entries_.at(index); }
  const std::vector<std::string>& entries() const { return entries_; }

 private:
  void reread();

  FileSystem& files_;
  std::string directory_;
  std::string pattern_ = "*.*";
  std::vector<std::string> entries_;
};

}  // namespace kavo
