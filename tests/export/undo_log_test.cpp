#include "export/undo_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/services/forwarding_file_system.h"
#include "platform/services/posix_file_system.h"

namespace kavo {
namespace {

// Records what the undo takes back instead of doing it.
class RecordingRemovals final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::vector<std::string> removed;
  bool removeFile(const std::string& path) override {
    removed.push_back(path);
    return true;
  }
  void removeDirectory(const std::string& path) override { removed.push_back(path + "/"); }
};

std::string copy(std::size_t j) { return "c" + std::to_string(j); }

// Copies that never started come out of the log, whatever part of a run of
// copies they are; the rest is taken back, the last made first.
TEST(UndoLog, CopiesNeverStartedAreNotTakenBack) {
  struct Case {
    std::size_t first, end;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {2, 4, {"c5", "c4", "b/", "c1", "c0", "a/"}},              // the tail of the first run
      {4, 6, {"b/", "c3", "c2", "c1", "c0", "a/"}},              // all of the second
      {1, 5, {"c5", "b/", "c0", "a/"}},                          // across both
      {6, 9, {"c5", "c4", "b/", "c3", "c2", "c1", "c0", "a/"}},  // none of them
      {3, 3, {"c5", "c4", "b/", "c3", "c2", "c1", "c0", "a/"}},  // an empty range
  };
  for (const Case& c : cases) {
    PosixFileSystem posix;
    RecordingRemovals files(posix);
    UndoLog undo(files, copy);
    undo.makingDirectory("a");
    for (std::size_t j = 0; j < 4; ++j) undo.makingCopy(j);
    undo.makingDirectory("b");
    for (std::size_t j = 4; j < 6; ++j) undo.makingCopy(j);
    undo.copiesNotMade(c.first, c.end);
    EXPECT_TRUE(undo.undo().empty());
    EXPECT_EQ(files.removed, c.expected) << c.first << " to " << c.end;
  }
}

// A range in the middle of a run leaves both ends of it.
TEST(UndoLog, ARangeInsideARunLeavesBothEnds) {
  PosixFileSystem posix;
  RecordingRemovals files(posix);
  UndoLog undo(files, copy);
  for (std::size_t j = 0; j < 6; ++j) undo.makingCopy(j);
  undo.copiesNotMade(2, 4);
  undo.undo();
  EXPECT_EQ(files.removed, (std::vector<std::string>{"c5", "c4", "c1", "c0"}));
}

}  // namespace
}  // namespace kavo
