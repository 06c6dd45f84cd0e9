// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QListWidget>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/services/file_system.h"

namespace kavo {

// The file list: the names, without directory, of the regular files in its
// directory that match its pattern (see FilePattern), in list order (see
// listOrderLess). Setting the directory or the pattern re-reads at once; the
// pattern stays when the directory changes. Selecting an entry does nothing.
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

  // --- Narrowing: a list that shows only some of the files that match, such
  // as one version of each game. The entries, and so what an export takes,
  // are then those it keeps.

  // A file kept, by its place among the files that match, and what its
  // entry's tooltip says of it ("kept: Europe, Rev 1").
  struct Kept {
    std::size_t index;
    std::string note;
  };
  // Given every file that matches, in list order, the ones to list, in list
  // order. Must not throw.
  using Narrowing = std::function<std::vector<Kept>(const std::vector<std::string>& matching)>;

  // Narrows the list from now on, after every reading of the directory too;
  // an empty one lists every file that matches again. Takes the files of the
  // last reading: the directory is not read again.
  void setNarrowing(Narrowing narrowing);
  // Every file that matches the pattern, narrowed or not.
  const std::vector<std::string>& matching() const { return matching_; }

 private:
  void reread();
  void relist();

  FileSystem& files_;
  std::string directory_;
  std::string pattern_ = "*.*";
  std::vector<std::string> matching_;  // as read
  std::vector<std::string> entries_;   // as listed: narrowed
  Narrowing narrowing_;
};

}  // namespace kavo
