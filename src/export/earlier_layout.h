#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services/file_system.h"

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

// The group directories an earlier export left in a destination.
struct EarlierLayout {
  std::vector<std::size_t> groups;  // their numbers, ascending
  std::size_t copies = 0;           // the files in them
  bool empty() const { return groups.empty(); }
};

// Looks for an earlier layout in `destination`. Every entry of every group
// directory must be a regular file named as this program names copies;
// anything else (a subdirectory, another name, a link) means the directory
// is not ours, and RunTimeError names that entry.
EarlierLayout findEarlierLayout(FileSystem& files, const std::string& destination);

}  // namespace kavo
