// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/undo_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/services/run_time_error.h"
#include "support/memory_file_system.h"
#include "support/watching_file_system.h"

namespace kavo::testing {
namespace {

// The log makes each change and takes back exactly those it made, the last
// first: copies only where they were started (one that failed may have made
// part of itself), renames reversed, never a change that failed outright.
TEST(UndoLog, TakesBackWhatItMadeTheLastFirst) {
  MemoryFileSystem memory;
  const Folder& dir = memory.root();
  std::vector<std::string> takenBack;
  WatchingFileSystem files(memory,
                           [&](FileCall call, const std::string& path, const std::string& from) {
                             const std::string name = path.substr(dir.path().size() + 1);
                             if (call == FileCall::Remove) takenBack.push_back(name);
                             if (call == FileCall::Rename && !from.ends_with("old"))
                               takenBack.push_back("-> " + name);
                           });
  memory.writeFile(dir / "rom", "r");
  memory.writeFile(dir / "old", "an earlier file");
  const auto before = memory.snapshot(dir.path());
  UndoLog undo(files, 6,
               [&](std::size_t j) { return dir / ((j < 4 ? "a/" : "b/") + std::to_string(j)); });
  undo.makeDirectory(dir / "a");
  undo.expectCopies(0, 4);
  const auto a = files.openDirectory(dir / "a");
  for (std::size_t j : {0, 1, 3}) undo.copy(j, dir / "rom", *a, std::to_string(j));  // not 2
  undo.rename(dir / "old", dir / "a/moved");
  undo.makeDirectory(dir / "b");
  undo.expectCopies(4, 6);
  EXPECT_THROW(undo.copy(4, dir / "missing", *files.openDirectory(dir / "b"), "4"), RunTimeError);
  EXPECT_THROW(undo.makeDirectory(dir / "a"), RunTimeError);  // there already

  EXPECT_TRUE(undo.undo().empty());
  EXPECT_EQ(takenBack, (std::vector<std::string>{"b/4", "b", "-> old", "a/3", "a/1", "a/0", "a"}));
  EXPECT_EQ(memory.snapshot(dir.path()), before);
}

}  // namespace
}  // namespace kavo::testing
