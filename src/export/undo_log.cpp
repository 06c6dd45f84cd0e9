// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/undo_log.h"

#include "platform/services/run_time_error.h"

namespace kavo {

UndoLog::UndoLog(FileSystem& files, std::size_t copies, CopyPath copyPath)
    : files_(files),
      copyPath_(std::move(copyPath)),
      started_(std::make_unique<std::atomic<bool>[]>(copies)) {}

template <typename Make>
decltype(auto) UndoLog::make(Change change, Make&& make) {
  changes_.push_back(std::move(change));
  try {
    return make();
  } catch (...) {
    changes_.pop_back();
    throw;
  }
}

void UndoLog::makeDirectory(const std::string& path) {
  make({Kind::Directory, path, {}}, [&] { files_.makeDirectory(path); });
}

std::unique_ptr<WritableFile> UndoLog::createNew(const std::string& path) {
  return make({Kind::File, path, {}}, [&] { return files_.createNew(path); });
}

void UndoLog::rename(const std::string& from, const std::string& to) {
  make({Kind::Rename, from, to}, [&] { files_.rename(from, to); });
}

void UndoLog::expectCopies(std::size_t first, std::size_t end) {
  changes_.push_back({Kind::Copies, {}, {}, first, end});
}

FileStatus UndoLog::copy(std::size_t listIndex, const std::string& from, const OpenDirectory& into,
                         const std::string& name, const FileSystem::Seen& seen) {
  // A copy that fails may have made part of itself, so it stays noted.
  started_[listIndex] = true;
  return files_.copyInto(from, into, name, seen);
}

std::unique_ptr<WritableFile> UndoLog::createCopy(std::size_t listIndex, const std::string& path) {
  started_[listIndex] = true;
  return files_.createNew(path);
}

void UndoLog::takeBack(const Change& change, std::vector<std::string>& left) {
  auto attempt = [&](const std::function<void()>& step) {
    try {
      step();
    } catch (const RunTimeError& error) {
      left.push_back(error.pathAndReason());
    }
  };
  switch (change.kind) {
    case Kind::Directory:
      attempt([&] { files_.removeDirectory(change.path); });
      break;
    case Kind::File:
      attempt([&] { files_.removeFile(change.path); });
      break;
    case Kind::Copies:
      for (std::size_t j = change.endCopy; j-- > change.firstCopy;)
        if (started_[j]) attempt([&] { files_.removeFile(copyPath_(j)); });
      break;
    case Kind::Rename:
      attempt([&] { files_.rename(change.renamedTo, change.path); });
      break;
  }
}

std::vector<std::string> UndoLog::undo() {
  std::vector<std::string> left;
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change)
    takeBack(*change, left);
  changes_.clear();
  return left;
}

}  // namespace kavo
