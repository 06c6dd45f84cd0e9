// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/services/file_system.h"

namespace kavo {

// Makes an export's changes and keeps a log of them, so that a failure can
// take them away again and leave the destination as it was. Each change is
// noted just before it is made, since one that fails half-way (a copy cut
// short) may leave part of it behind; one that fails outright, before it
// made anything, is forgotten again. Copies are noted by their list index
// and their paths derived when needed, so the log stays small however long
// the list is.
class UndoLog {
 public:
  using CopyPath = std::function<std::string(std::size_t listIndex)>;
  // `copies`: how many listed files there are; `copyPath`: where each one's
  // copy is made.
  UndoLog(FileSystem& files, std::size_t copies, CopyPath copyPath);

  void makeDirectory(const std::string& path);
  std::unique_ptr<WritableFile> createNew(const std::string& path);
  void rename(const std::string& from, const std::string& to);

  // The copies with list indices from `first` to before `end` may be made
  // from here on, by copy(); those it never started leave nothing to take
  // back.
  void expectCopies(std::size_t first, std::size_t end);
  // Makes copy `listIndex`, expected before, as files.copyInto does. Safe to
  // call from several threads at once.
  FileStatus copy(std::size_t listIndex, const std::string& from, const OpenDirectory& into,
                  const std::string& name, const FileSystem::Seen& seen = {});

  // Creates copy `listIndex`, expected before, as a new file at `path` for
  // the caller to write (an archive's ROM unpacked). Safe to call from
  // several threads at once.
  std::unique_ptr<WritableFile> createCopy(std::size_t listIndex, const std::string& path);

  // Takes every change back, the last first: renames are reversed, files and
  // directories removed. Goes on past a step that fails, and returns those
  // steps as "path (reason)"; empty when everything was taken back.
  std::vector<std::string> undo();

  // The changes stay: nothing is left to take back.
  void forget() { changes_.clear(); }

 private:
  enum class Kind { Directory, File, Copies, Rename };
  struct Change {
    Kind kind;
    std::string path;
    std::string renamedTo;
    std::size_t firstCopy = 0, endCopy = 0;  // Copies: a run of list indices
  };
  // Notes a change and makes it, forgetting it when it fails outright.
  template <typename Make>
  decltype(auto) make(Change change, Make&& make);
  void takeBack(const Change& change, std::vector<std::string>& left);

  FileSystem& files_;
  CopyPath copyPath_;
  std::unique_ptr<std::atomic<bool>[]> started_;  // by list index
  std::vector<Change> changes_;
};

}  // namespace kavo
