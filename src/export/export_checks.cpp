#include "export/export_checks.h"

#include <climits>
#include <cerrno>
#include <cstdio>

#include "export/copy_workers.h"
#include "export/export_failure.h"
#include "export/rom_layout.h"
#include "platform/services/interruption.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

using layout::joinPath;

// Turns a run-time error of the work into a refusal at `step`.
template <typename Work>
decltype(auto) during(const char* step, Work&& work) {
  try {
    return work();
  } catch (const ExportFailure&) {
    throw;
  } catch (const RunTimeError& error) {
    throw ExportFailure(error, step, /*refused=*/true);
  }
}

// The directory itself, whatever links lead to it.
FileStatus directoryStatus(FileSystem& files, const std::string& directory) {
  return files.status(joinPath(directory, "."));
}

std::string fileNameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

// "12,345,678"
std::string withThousands(std::uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

// "53,248 bytes (52.0 KiB)"
std::string sizeText(std::uint64_t bytes) {
  std::string text = withThousands(bytes) + (bytes == 1 ? " byte" : " bytes");
  if (bytes < 1024) return text;
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char scaled[32];
  std::snprintf(scaled, sizeof scaled, " (%.1f %s)", value, kUnits[unit]);
  return text + scaled;
}

std::uint64_t roundUp(std::uint64_t bytes, std::uint64_t block) {
  return block == 0 ? bytes : (bytes + block - 1) / block * block;
}

// "a, b, c and 4 more"
std::string listOf(const std::vector<std::string>& items) {
  constexpr std::size_t kShown = 5;
  std::string text;
  for (std::size_t i = 0; i < items.size() && i < kShown; ++i)
    text += (i == 0 ? "" : ", ") + items[i];
  if (items.size() > kShown) text += " and " + std::to_string(items.size() - kShown) + " more";
  return text;
}

// A name longer than the volume takes, or a path longer than the host takes,
// is refused here rather than when its turn comes.
void requireFits(const std::string& path, std::size_t nameLimit) {
  if (fileNameOf(path).size() > nameLimit || path.size() >= PATH_MAX)
    throw errorFromErrno(ENAMETOOLONG, path);
}

void checkNames(const ExportRequest& request) {
  // A line break in a name would split its record in two for the emulator.
  for (const std::string& name : request.names) {
    if (name.find_first_of("\r\n") != std::string::npos)
      throw RunTimeError(ErrorNumber::BadFileName, joinPath(request.source, name),
                         "File name contains a line break");
  }
}

// What the checks of the index path found: what stands at it, and the
// directory it lies in.
struct IndexPlace {
  FileStatus standing;
  FileStatus directory;
};

IndexPlace checkIndexPath(const ExportRequest& request, const FileStatus& destination,
                          FileSystem& files, ExportPlan& plan) {
  const std::string& answer = request.indexPath;  // as the user gave it
  // A relative answer (the prompt's own example, C:\) would name a file in
  // whatever the working directory happens to be.
  if (answer.empty() || answer.front() != '/')
    throw RunTimeError(ErrorNumber::BadFileName, answer,
                       "Not a full path to a file, such as /media/usb/FILES.TXT");
  if (answer.back() == '/' || answer.back() == '\\')
    throw RunTimeError(ErrorNumber::BadFileName, answer, "Names a folder, not a file");

  plan.indexPath = layout::indexPathFromAnswer(answer);
  plan.indexDirectory = layout::directoryOf(plan.indexPath);
  plan.newIndexPath = newIndexPathFor(plan.indexPath);
  plan.earlierIndexPath = earlierIndexPathFor(plan.indexPath);
  try {
    files.requireDirectory(plan.indexDirectory);
  } catch (const RunTimeError& error) {
    throw RunTimeError(error.number(), plan.indexPath, error.reason());
  }
  // The answer names a folder as typed, or once its file name is upper-cased.
  for (const std::string& path : {answer, plan.indexPath})
    if (files.status(path).type == FileType::Directory) throw errorFromErrno(EISDIR, path);

  const FileStatus directory = directoryStatus(files, plan.indexDirectory);
  if (directory.sameFileAs(destination)) {
    const std::string name = fileNameOf(plan.indexPath);
    for (const std::string& group : layout::groupDirectoryNames(request.names.size()))
      if (name == group)
        throw RunTimeError(ErrorNumber::PathFileAccessError, plan.indexPath,
                           "Is the name of a folder this export makes");
  } else {
    plan.locks.push_back(files.lockDirectory(plan.indexDirectory));
  }
  files.requireWritable(plan.indexDirectory);
  const std::size_t nameLimit = files.nameLimit(plan.indexDirectory);
  for (const std::string& path : {plan.indexPath, plan.newIndexPath, plan.earlierIndexPath})
    requireFits(path, nameLimit);

  // The index replaces what stands at its path, never writes through it.
  const FileStatus standing = files.status(plan.indexPath);
  switch (standing.type) {
    case FileType::Missing:
      break;
    case FileType::Regular:
      if (standing.links > 1)
        throw RunTimeError(ErrorNumber::PathFileAccessError, plan.indexPath,
                           "Has other hard links, which would lose their contents");
      plan.replacesIndex = true;
      break;
    case FileType::Directory:
      throw errorFromErrno(EISDIR, plan.indexPath);
    case FileType::SymbolicLink:
      throw RunTimeError(ErrorNumber::PathFileAccessError, plan.indexPath,
                         "Is a symbolic link");
    case FileType::Other:
      throw notRegularFileError(plan.indexPath);
  }
  return {standing, directory};
}

// Nothing the export makes may be there already: not a group directory,
// and not what an interrupted export left beside the index.
void checkNothingInTheWay(const ExportRequest& request, const ExportPlan& plan,
                          FileSystem& files) {
  std::vector<std::string> groups, leftovers;
  for (const std::string& group : layout::groupDirectoryNames(request.names.size())) {
    std::string path = joinPath(request.destination, group);
    if (files.exists(path)) groups.push_back(std::move(path));
  }
  for (const std::string& path : {plan.newIndexPath, plan.earlierIndexPath})
    if (files.exists(path)) leftovers.push_back(path);

  if (!leftovers.empty()) {
    RunTimeError error(ErrorNumber::PathFileAccessError, leftovers.front(),
                       "Left by an interrupted export");
    std::vector<std::string> all = leftovers;
    all.insert(all.end(), groups.begin(), groups.end());
    error.setNote("Remove " + listOf(all) + " to export again.");
    throw error;
  }
  if (!groups.empty()) {
    RunTimeError error = errorFromErrno(EEXIST, groups.front(), PathRole::Directory);
    if (groups.size() > 1)
      error.setNote("Also in the way: " +
                    listOf(std::vector<std::string>(groups.begin() + 1, groups.end())) +
                    ".");
    throw error;
  }
}

}  // namespace

std::string newIndexPathFor(const std::string& indexPath) {
  return indexPath + ".simplekavo-new";
}

std::string earlierIndexPathFor(const std::string& indexPath) {
  return indexPath + ".simplekavo-old";
}

ExportPlan checkBeforeWriting(const ExportRequest& request, FileSystem& files) {
  const std::string& destination = request.destination;
  const std::vector<std::string>& names = request.names;
  const std::size_t count = names.size();
  ExportPlan plan;

  during(kCheckingNames, [&] { checkNames(request); });
  const FileStatus destinationStatus = during(kCheckingDestination, [&] {
    files.requireDirectory(destination);
    plan.locks.push_back(files.lockDirectory(destination));
    files.requireWritable(destination);
    return directoryStatus(files, destination);
  });
  const IndexPlace index = during(kCheckingIndexPath, [&] {
    return checkIndexPath(request, destinationStatus, files, plan);
  });
  during(kCheckingDestination, [&] { checkNothingInTheWay(request, plan, files); });

  const VolumeSpace space = during(kCheckingSpace, [&] { return files.volumeSpace(destination); });
  std::uint64_t needed = 0;     // on the destination's volume
  std::uint64_t indexBytes = 0;  // the records
  during(kCheckingSources, [&] {
    plan.sizes.reserve(count);
    const std::size_t nameLimit = files.nameLimit(destination);
    // The sources are opened a few at a time, as the copies are made; each
    // is judged in list order, so the first problem in the list is the one
    // reported, as if they had been looked at one by one.
    constexpr std::size_t kInHand = 64;
    // Made before the workers, so that it outlasts any look still running
    // when a refusal leaves this scope.
    std::vector<FileStatus> found(kInHand);
    CopyWorkers lookers(files.copiesAtOnce(), kInHand);
    std::size_t handedIn = 0;
    auto sourceOf = [&](std::size_t j) { return joinPath(request.source, names[j]); };
    for (std::size_t j = 0; j < count; ++j) {
      throwIfInterrupted();  // looking at thousands of files on a slow drive takes a while
      for (; handedIn < count && lookers.hasRoom(); ++handedIn)
        lookers.handIn([&files, &found, k = handedIn, source = sourceOf(handedIn)] {
          found[k % kInHand] = files.inspectSource(source);
        });
      const std::string group =
          joinPath(destination, layout::groupDirectoryName(layout::groupNumberOf(j)));
      requireFits(joinPath(group, layout::copyFileName(names[j], j)), nameLimit);
      const std::string source = sourceOf(j);
      if (source.size() >= PATH_MAX) throw errorFromErrno(ENAMETOOLONG, source);
      lookers.takeBackOldestInTurn();
      const FileStatus status = found[j % kInHand];
      if (status.sameFileAs(index.standing))
        throw RunTimeError(ErrorNumber::PathFileAccessError, plan.indexPath,
                           "Is one of the files to export" +
                               (source == plan.indexPath ? "" : " (" + source + ")"));
      plan.bytes += status.size;
      plan.sizes.push_back(status.size);
      needed += roundUp(status.size, space.blockSize);
      indexBytes += layout::record(names[j], j).size();
    }
  });

  during(kCheckingSpace, [&] {
    // Each group directory takes a block; the index takes its blocks on its
    // own volume. An earlier index stays until the new one is complete, so
    // it frees nothing.
    needed += layout::groupCount(count) * space.blockSize;
    indexBytes += layout::paddingLength(indexBytes);
    auto requireRoom = [](const VolumeSpace& room, std::uint64_t bytes,
                          const std::string& directory) {
      if (room.known && bytes > room.available)
        throw RunTimeError(ErrorNumber::DiskFull, directory,
                           "Needs " + sizeText(bytes) + "; " + sizeText(room.available) +
                               " free");
    };
    if (index.directory.device == destinationStatus.device) {
      requireRoom(space, needed + roundUp(indexBytes, space.blockSize), destination);
    } else {
      requireRoom(space, needed, destination);
      const VolumeSpace indexSpace = files.volumeSpace(plan.indexDirectory);
      requireRoom(indexSpace, roundUp(indexBytes, indexSpace.blockSize), plan.indexDirectory);
    }
  });
  return plan;
}

}  // namespace kavo
