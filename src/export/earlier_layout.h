// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services/file_system.h"
#include "platform/services/run_time_error.h"

namespace kavo {

// The group number a directory's name gives, when it is named as this
// program names group directories: "ROMS" and a decimal number, with no
// leading zero.
std::optional<std::size_t> groupNumberOfDirectoryName(std::string_view name);

// Whether a file named `name` in group directory `group` could be a copy
// this program made there: the decimal list index of one of the group's
// places, then the upper-cased extension (or the whole upper-cased name of a
// source without one).
bool isCopyNameInGroup(std::string_view name, std::size_t group);

// One record of an earlier index: the name as written there (in
// Windows-1252) and the list index its copy was given.
struct EarlierRecord {
  std::string name;
  std::size_t listIndex = 0;
  bool operator==(const EarlierRecord&) const = default;
};

// Reads the records of an index this program wrote: records in list order,
// then the padding of spaces. Anything else (another program's file, a
// damaged one) gives nothing, and then no earlier copy can be told apart.
std::optional<std::vector<EarlierRecord>> parseEarlierIndex(std::string_view bytes);

// A group directory found in a destination, with the copies in it, sorted
// by name.
struct FoundGroup {
  std::size_t number = 0;
  std::string name;  // as it stands: "ROMS3", or a staged or retired name
  std::vector<DirectoryEntry> copies;
  FileStatus status;  // the directory's own
};

// What earlier exports left in a destination.
struct EarlierLayout {
  std::vector<FoundGroup> groups;     // ROMS<n>, by number
  std::vector<FoundGroup> leftovers;  // staged and retired groups an
                                      // interrupted replace left
  std::size_t copies() const;         // in `groups`
  bool empty() const { return groups.empty() && leftovers.empty(); }
  // The group numbered `number`, if there is one.
  const FoundGroup* group(std::size_t number) const;
  // The earlier copy named `name` in group `group`, if there is one.
  const DirectoryEntry* copy(std::size_t group, std::string_view name) const;
};

// An entry that this program would not have made where it stands.
class ForeignEntry : public RunTimeError {
 public:
  using RunTimeError::RunTimeError;
};

// Looks for an earlier layout in `destination`. Every entry of every group
// directory (staged and retired ones included) must be a regular file named
// as this program names copies; anything else (a subdirectory, another
// name, a link) means the directory is not ours, and ForeignEntry names
// that entry. A directory that cannot be read throws RunTimeError.
EarlierLayout findEarlierLayout(FileSystem& files, const std::string& destination);

// For each listed name, the list index its copy had in the earlier index,
// when the earlier index names it once and the new list names it once
// (names are compared as the index writes them, in Windows-1252, where two
// names may come out alike).
std::vector<std::optional<std::size_t>> earlierListIndices(
    const std::vector<std::string>& names, const std::vector<EarlierRecord>& earlier);

}  // namespace kavo
