// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/earlier_layout.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

#include "export/export_paths.h"
#include "export/rom_layout.h"
#include "export/windows1252.h"
#include "platform/services/interruption.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

// A decimal number as this program writes one: digits, no leading zero.
std::optional<std::size_t> decimal(std::string_view digits) {
  if (digits.empty() || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

bool hasLowerCaseAscii(std::string_view text) {
  for (char c : text)
    if (c >= 'a' && c <= 'z') return true;
  return false;
}

}  // namespace

std::optional<std::size_t> groupNumberOfDirectoryName(std::string_view name) {
  constexpr std::string_view kPrefix = "ROMS";
  if (name.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  return decimal(name.substr(kPrefix.size()));
}

bool isCopyNameInGroup(std::string_view name, std::size_t group) {
  if (hasLowerCaseAscii(name)) return false;
  // A source without a dot gives its whole name as the extension, which may
  // begin with digits itself ("12" + "5"), so every split is tried.
  const std::size_t first = group * layout::kGroupSize;
  for (std::size_t digits = 1; digits < name.size() && digits <= 20; ++digits) {
    if (name[digits - 1] < '0' || name[digits - 1] > '9') break;
    // What follows the index: an extension (one dot, first), or a name
    // without any dot.
    const std::string_view rest = name.substr(digits);
    const std::size_t dot = rest.rfind('.');
    if (dot != std::string_view::npos && dot != 0) continue;
    const auto index = decimal(name.substr(0, digits));
    if (index && *index >= first && *index < first + layout::kGroupSize) return true;
  }
  return false;
}

namespace {

// A record longer than this is not one this program wrote: its names are
// file names, of at most 255 bytes on any volume it reads from, and
// Windows-1252 takes no more bytes than UTF-8.
constexpr std::size_t kLongestRecord = 1024;

// Where the name ends in `line`, a record without its line end, when it is
// the record of list index `listIndex`: the name, ",ROMS<group>\<index>",
// and the name's extension. A name may hold commas, and so may its
// extension, but the extension ends the line: when the line has a dot, the
// extension runs from its last one; when it has none, the extension is the
// whole name, which then takes as many bytes as the line's end. So one look
// at the line decides, whatever it holds.
std::optional<std::size_t> nameEndIn(std::string_view line, std::size_t listIndex) {
  const std::string middle = "," + layout::groupDirectoryName(layout::groupNumberOf(listIndex)) +
                             "\\" + std::to_string(listIndex);
  if (line.size() <= middle.size()) return std::nullopt;
  const std::size_t dot = line.rfind('.');
  const std::size_t rest = line.size() - middle.size();
  if (dot == std::string_view::npos && rest % 2 != 0) return std::nullopt;
  const std::size_t extension = dot == std::string_view::npos ? rest / 2 : line.size() - dot;
  if (extension >= rest) return std::nullopt;  // no room for a name
  const std::size_t end = rest - extension;
  if (line.substr(end, middle.size()) != middle ||
      layout::extensionOf(line.substr(0, end)) != line.substr(line.size() - extension))
    return std::nullopt;
  return end;
}

}  // namespace

std::optional<std::vector<EarlierRecord>> parseEarlierIndex(std::string_view bytes) {
  const std::size_t lastLineEnd = bytes.rfind('\n');
  const std::string_view padding =
      bytes.substr(lastLineEnd == std::string_view::npos ? 0 : lastLineEnd + 1);
  if (padding.find_first_not_of(' ') != std::string_view::npos) return std::nullopt;
  std::vector<EarlierRecord> records;
  std::string_view rest =
      bytes.substr(0, lastLineEnd == std::string_view::npos ? 0 : lastLineEnd + 1);
  while (!rest.empty()) {
    throwIfInterrupted();
    const std::size_t end = rest.find('\n');
    if (end > kLongestRecord) return std::nullopt;
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    const std::optional<std::size_t> nameEnd = nameEndIn(line, records.size());
    if (!nameEnd) return std::nullopt;
    records.push_back({std::string(line.substr(0, *nameEnd)), records.size()});
  }
  return records;
}

namespace {

// The group a staged or retired directory's name stands for.
std::optional<std::size_t> stagedOrRetiredGroup(std::string_view name) {
  for (const Waiting which : {Waiting::Staged, Waiting::Retired})
    if (const auto group = nameWaitingAs(name, which)) return groupNumberOfDirectoryName(*group);
  return std::nullopt;
}

}  // namespace

std::size_t EarlierLayout::copies() const {
  std::size_t count = 0;
  for (const FoundGroup& group : groups) count += group.copies.size();
  return count;
}

const FoundGroup* EarlierLayout::group(std::size_t number) const {
  const auto found = std::lower_bound(
      groups.begin(), groups.end(), number,
      [](const FoundGroup& found, std::size_t number) { return found.number < number; });
  return found == groups.end() || found->number != number ? nullptr : &*found;
}

const DirectoryEntry* EarlierLayout::copy(std::size_t group, std::string_view name) const {
  const FoundGroup* found = this->group(group);
  if (!found) return nullptr;
  const auto entry = std::lower_bound(
      found->copies.begin(), found->copies.end(), name,
      [](const DirectoryEntry& entry, std::string_view name) { return entry.name < name; });
  return entry != found->copies.end() && entry->name == name ? &*entry : nullptr;
}

EarlierLayout findEarlierLayout(FileSystem& files, const std::string& destination) {
  EarlierLayout layout;
  for (const DirectoryEntry& entry : files.listDirectory(destination)) {
    // "ROMS3", or "ROMS3" and the suffix of a staged or retired group.
    std::optional<std::size_t> group = stagedOrRetiredGroup(entry.name);
    const bool leftover = group.has_value();
    if (!group) group = groupNumberOfDirectoryName(entry.name);
    if (!group) continue;
    const std::string directory = paths::join(destination, entry.name);
    if (entry.status.type != FileType::Directory)
      throw ForeignEntry(ErrorNumber::PathFileAccessError, directory,
                         "Is not a folder of an earlier export");
    throwIfInterrupted();  // a slow drive may hold thousands of groups
    FoundGroup found{*group, entry.name, files.listDirectory(directory), entry.status};
    for (const DirectoryEntry& inside : found.copies)
      if (inside.status.type != FileType::Regular || !isCopyNameInGroup(inside.name, *group))
        throw ForeignEntry(ErrorNumber::PathFileAccessError, paths::join(directory, inside.name),
                           "Is not a copy of an earlier export");
    (leftover ? layout.leftovers : layout.groups).push_back(std::move(found));
  }
  std::sort(layout.groups.begin(), layout.groups.end(),
            [](const FoundGroup& a, const FoundGroup& b) { return a.number < b.number; });
  return layout;
}

std::vector<std::optional<std::size_t>> earlierListIndices(
    const std::vector<std::string>& names, const std::vector<EarlierRecord>& earlier) {
  // Each name as the index writes it, and where it was found: a second
  // finding makes it ambiguous, and then it is not matched at all.
  constexpr std::size_t kAmbiguous = static_cast<std::size_t>(-1);
  std::unordered_map<std::string, std::size_t> before, now;
  for (const EarlierRecord& record : earlier) {
    const auto [at, added] = before.emplace(record.name, record.listIndex);
    if (!added) at->second = kAmbiguous;
  }
  std::vector<std::string> written;
  written.reserve(names.size());
  for (std::size_t j = 0; j < names.size(); ++j) {
    written.push_back(toWindows1252(names[j]));
    const auto [at, added] = now.emplace(written.back(), j);
    if (!added) at->second = kAmbiguous;
  }
  std::vector<std::optional<std::size_t>> indices(names.size());
  for (std::size_t j = 0; j < names.size(); ++j) {
    const auto found = before.find(written[j]);
    if (found != before.end() && found->second != kAmbiguous && now[written[j]] != kAmbiguous)
      indices[j] = found->second;
  }
  return indices;
}

}  // namespace kavo
