// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listing/directory_listing.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "listing/list_order.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

// Whether the file `name` in `directory`, named like an archive, is listed
// under `pattern`: an archive by the files it holds, anything else by its
// name.
bool archiveMatches(FileSystem& files, const std::string& directory, const std::string& name,
                    const FilePattern& pattern, const RomFilter& wanted) {
  const std::string path = paths::join(directory, name);
  try {
    const std::unique_ptr<ReadableFile> file = files.openForReading(path);
    char start[8] = {};
    const std::size_t got = file->readAt(0, start, sizeof start);
    const std::optional<ArchiveFormat> format = archiveFormatOf({start, got});
    if (!format) return pattern.matches(name);
    const std::vector<std::string> held = archiveFileNames(*file, path, name, *format);
    return std::any_of(held.begin(), held.end(),
                       [&](const std::string& one) { return mayBeRom(one, wanted); });
  } catch (const RunTimeError& error) {
    if (error.number() == ErrorNumber::UserInterrupt) throw;
    return true;  // what it holds cannot be told; the export's checks say why
  }
}

// Archives are looked into this many at a time: opening a file and reading
// its headers mostly waits on the system, and a disk serves several reads
// at once. Fewer looks than this many times a few are made in the caller's
// thread alone.
constexpr std::size_t kLooksAtOnce = 4;

// For each of `names` in `directory`, all named like archives, whether it
// is listed under `pattern`, judged on up to kLooksAtOnce threads. What one
// look throws (an interruption) stops the others and is thrown here.
std::vector<char> judgeArchives(FileSystem& files, const std::string& directory,
                                const std::vector<std::string>& names, const FilePattern& pattern,
                                const RomFilter& wanted) {
  std::vector<char> listed(names.size());
  std::atomic<std::size_t> next = 0;
  std::mutex failed;
  std::exception_ptr failure;
  const auto look = [&] {
    for (std::size_t i; (i = next++) < names.size();) {
      try {
        listed[i] = archiveMatches(files, directory, names[i], pattern, wanted);
      } catch (...) {
        const std::lock_guard lock(failed);
        if (!failure) failure = std::current_exception();
        next = names.size();
      }
    }
  };
  {
    std::vector<std::jthread> helpers;
    for (std::size_t k = 1; k < kLooksAtOnce && k * 8 < names.size(); ++k)
      helpers.emplace_back(look);
    look();
  }
  if (failure) std::rethrow_exception(failure);
  return listed;
}

// The visible names in `directory` of entries of type `type`, links
// followed, in list order; of the files, those that match `pattern`.
std::vector<std::string> namesOf(FileSystem& files, const std::string& directory, FileType type,
                                 const FilePattern* pattern) {
  const bool everyName = !pattern || pattern->matchesEveryName();
  std::vector<std::string> names, archives;
  for (DirectoryEntry& entry : files.listDirectory(directory, Listing::Types)) {
    if (entry.name.front() == '.' || entry.status.type != type) continue;
    if (everyName || (!mayBeArchive(entry.name) && pattern->matches(entry.name)))
      names.push_back(std::move(entry.name));
    else if (mayBeArchive(entry.name))
      archives.push_back(std::move(entry.name));
  }
  if (!archives.empty()) {
    const std::vector<char> listed =
        judgeArchives(files, directory, archives, *pattern, romFilterOf(*pattern));
    for (std::size_t i = 0; i < archives.size(); ++i)
      if (listed[i]) names.push_back(std::move(archives[i]));
  }
  std::sort(names.begin(), names.end(), listOrderLess);
  return names;
}

}  // namespace

std::vector<std::string> listFiles(FileSystem& files, const std::string& directory,
                                   const FilePattern& pattern) {
  return namesOf(files, directory, FileType::Regular, &pattern);
}

std::vector<std::string> listSubdirectories(FileSystem& files, const std::string& directory) {
  return namesOf(files, directory, FileType::Directory, nullptr);
}

RomFilter romFilterOf(const FilePattern& pattern) {
  if (pattern.matchesEveryName()) return {};
  return [pattern](std::string_view name) { return pattern.matches(name); };
}

}  // namespace kavo
