#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/services/file_system.h"

namespace kavo {

// What an export has made so far, so that a failure can take it away again
// and leave the destination as it was. Each change is noted just before it
// is made, since a change that fails half-way (a copy cut short) may leave
// part of it behind. Copies are noted by their list index and their paths
// derived when needed, so the log stays small however long the list is.
class UndoLog {
 public:
  using CopyPath = std::function<std::string(std::size_t listIndex)>;
  UndoLog(FileSystem& files, CopyPath copyPath) : files_(files), copyPath_(std::move(copyPath)) {}

  void makingDirectory(const std::string& path) { add({Kind::Directory, path, {}}); }
  void makingFile(const std::string& path) { add({Kind::File, path, {}}); }
  void makingCopy(std::size_t listIndex);
  void renaming(const std::string& from, const std::string& to) { add({Kind::Rename, from, to}); }
  // The last change noted did not happen after all.
  void notMade();
  // The copies noted with list indices from `first` to before `end` were
  // never started.
  void copiesNotMade(std::size_t first, std::size_t end);

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
    std::size_t firstCopy = 0, copies = 0;  // Copies: a run of list indices
  };
  void add(Change change) { changes_.push_back(std::move(change)); }
  void takeBack(const Change& change, std::vector<std::string>& left);

  FileSystem& files_;
  CopyPath copyPath_;
  std::vector<Change> changes_;
};

}  // namespace kavo
