// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/manifest.h"

#include <charconv>
#include <cstdio>

#include "platform/services/interruption.h"

namespace kavo {

namespace {

constexpr std::string_view kHeader = "SimpleKAVO manifest 2\n";
constexpr std::string_view kFirstHeader = "SimpleKAVO manifest 1\n";

// A line longer than this is not one this program wrote: its path is a
// group, a list index and an extension, and each name at most 255 bytes.
constexpr std::size_t kLongestLine = 2048;

// A manifest of a few hundred thousand games is some tens of megabytes.
constexpr std::size_t kLargestManifest = 64 * 1024 * 1024;

std::string time(std::int64_t seconds, std::uint32_t nanoseconds) {
  std::string fraction = std::to_string(nanoseconds);
  return std::to_string(seconds) + "." + std::string(9 - fraction.size(), '0') + fraction;
}

// Reads the next field, up to a space, into `value`; false when it is not
// one.
template <typename Number>
bool take(std::string_view& line, Number& value) {
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return false;
  const auto [end, error] = std::from_chars(line.data(), line.data() + space, value);
  if (error != std::errc() || end != line.data() + space) return false;
  line.remove_prefix(space + 1);
  return true;
}

// Reads a time written as seconds, ".", and nine digits of nanoseconds.
bool takeTime(std::string_view& line, std::int64_t& seconds, std::uint32_t& nanoseconds) {
  const std::size_t dot = line.find('.');
  if (dot == std::string_view::npos) return false;
  const auto [end, error] = std::from_chars(line.data(), line.data() + dot, seconds);
  if (error != std::errc() || end != line.data() + dot) return false;
  line.remove_prefix(dot + 1);
  return line.find(' ') == 9 && take(line, nanoseconds) && nanoseconds < 1'000'000'000;
}

// Reads `digits` hexadecimal digits and a space.
bool takeHex(std::string_view& line, std::uint64_t& value) {
  constexpr std::size_t kDigits = 16;
  if (line.size() <= kDigits || line[kDigits] != ' ' ||
      line.substr(0, kDigits).find_first_not_of("0123456789abcdef") != std::string_view::npos)
    return false;
  std::from_chars(line.data(), line.data() + kDigits, value, 16);
  line.remove_prefix(kDigits + 1);
  return true;
}

// Takes what runs up to the next tab, or to the end.
std::string_view takeField(std::string_view& line) {
  const std::size_t tab = line.find('\t');
  const std::string_view field = line.substr(0, tab);
  line.remove_prefix(tab == std::string_view::npos ? line.size() : tab + 1);
  return field;
}

std::optional<ManifestEntry> parseLine(std::string_view line, bool first) {
  ManifestEntry entry;
  const auto hash = ContentHash::fromHex(line.substr(0, 32));
  if (!hash || line.size() < 33 || line[32] != ' ') return std::nullopt;
  entry.hash = *hash;
  line.remove_prefix(33);
  if (!first && !takeHex(line, entry.sample.emplace())) return std::nullopt;
  SourceIdentity& source = entry.source;
  if (!take(line, entry.size) || !take(line, source.size) ||
      !takeTime(line, source.modifiedSeconds, source.modifiedNanoseconds) ||
      !takeTime(line, source.changedSeconds, source.changedNanoseconds) ||
      !take(line, source.device) || !take(line, source.inode) || line.empty())
    return std::nullopt;
  if (first) {
    entry.copy = line;
    return entry;
  }
  entry.copy = takeField(line);
  entry.listed = takeField(line);
  entry.record = takeField(line);
  if (entry.copy.empty() || entry.listed.empty() || !line.empty()) return std::nullopt;
  return entry;
}

}  // namespace

SourceIdentity SourceIdentity::of(const FileStatus& status) {
  return {status.size,
          status.device,
          status.inode,
          status.modifiedSeconds,
          status.changedSeconds,
          status.modifiedNanoseconds,
          status.changedNanoseconds};
}

std::string_view manifestHeader() { return kHeader; }

std::string manifestLine(const ManifestEntry& entry) {
  const SourceIdentity& source = entry.source;
  char sample[17];
  std::snprintf(sample, sizeof sample, "%016llx",
                static_cast<unsigned long long>(entry.sample.value_or(0)));
  std::string line = entry.hash.hex() + " " + sample + " " + std::to_string(entry.size) + " " +
                     std::to_string(source.size) + " " +
                     time(source.modifiedSeconds, source.modifiedNanoseconds) + " " +
                     time(source.changedSeconds, source.changedNanoseconds) + " " +
                     std::to_string(source.device) + " " + std::to_string(source.inode) + " " +
                     entry.copy + "\t" + entry.listed;
  if (!entry.record.empty() && entry.record != entry.listed) line += "\t" + entry.record;
  return line + "\n";
}

std::string manifestText(const std::vector<ManifestEntry>& entries) {
  std::string text(kHeader);
  for (const ManifestEntry& entry : entries) text += manifestLine(entry);
  return text;
}

bool isOurManifest(std::string_view start) {
  return start.starts_with(kHeader) || start.starts_with(kFirstHeader);
}

std::optional<std::vector<ManifestEntry>> parseManifest(std::string_view text) {
  if (!isOurManifest(text) || !text.ends_with('\n')) return std::nullopt;
  const bool first = text.starts_with(kFirstHeader);
  text.remove_prefix(kHeader.size());
  std::vector<ManifestEntry> entries;
  while (!text.empty()) {
    throwIfInterrupted();
    const std::size_t end = text.find('\n');
    if (end > kLongestLine) return std::nullopt;
    std::optional<ManifestEntry> entry = parseLine(text.substr(0, end), first);
    if (!entry) return std::nullopt;
    entries.push_back(std::move(*entry));
    text.remove_prefix(end + 1);
  }
  return entries;
}

std::optional<std::vector<ManifestEntry>> readManifest(FileSystem& files, const std::string& path,
                                                       Reading reading) {
  const std::optional<std::string> text = readAtMost(files, path, kLargestManifest, reading);
  if (!text) return std::nullopt;
  return parseManifest(*text);
}

}  // namespace kavo
