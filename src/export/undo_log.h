#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace kavo {

// What an export has made so far, so that a failure can take it away again
// and leave the destination as it was. Each change is noted just before it
// is made, since a change that fails half-way (a copy cut short) may leave
// part of it behind.
class UndoLog {
 public:
  explicit UndoLog(FileSystem& files) : files_(files) {}

  void makingDirectory(const std::string& path) { add(Kind::Directory, path); }
  void makingFile(const std::string& path) { add(Kind::File, path); }
  void renaming(const std::string& from, const std::string& to) {
    add(Kind::Rename, from, to);
  }
  // The last change noted did not happen after all.
  void notMade() { changes_.pop_back(); }

  // Takes every change back, the last first: renames are reversed, files and
  // directories removed. Goes on past a step that fails, and returns those
  // steps as "path (reason)"; empty when everything was taken back.
  std::vector<std::string> undo();

  // The changes stay: nothing is left to take back.
  void forget() { changes_.clear(); }

 private:
  enum class Kind { Directory, File, Rename };
  struct Change {
    Kind kind;
    std::string path;
    std::string renamedTo;
  };
  void add(Kind kind, std::string path, std::string renamedTo = {}) {
    changes_.push_back({kind, std::move(path), std::move(renamedTo)});
  }

  FileSystem& files_;
  std::vector<Change> changes_;
};

}  // namespace kavo
