#include "export/export_checks.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <unordered_map>

#include "export/copy_workers.h"
#include "export/export_failure.h"
#include "export/number_text.h"
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

std::string fileNameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

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
      throw RunTimeError(ErrorNumber::PathFileAccessError, plan.indexPath, "Is a symbolic link");
    case FileType::Other:
      throw notRegularFileError(plan.indexPath);
  }
  return {standing, directory};
}

// A refusal that a replace would not meet.
[[noreturn]] void refuseReplaceable(const RunTimeError& error) {
  ExportFailure failure(error, kCheckingDestination, /*refused=*/true);
  failure.setReplaceable();
  throw failure;
}

// A replace must not take away the index or the sources: neither may lie in
// a folder it renames or removes (an earlier group, or what an interrupted
// export left).
void requireOutsideWhatIsReplaced(const ExportRequest& request, const ExportPlan& plan,
                                  const FileStatus& indexDirectory, FileSystem& files) {
  const FileStatus sourceDirectory = directoryStatus(files, request.source);
  for (const auto* groups : {&plan.earlier.groups, &plan.earlier.leftovers}) {
    for (const FoundGroup& group : *groups) {
      if (group.status.sameFileAs(indexDirectory))
        throw RunTimeError(ErrorNumber::PathFileAccessError, plan.indexPath,
                           "Lies in a folder this export replaces or removes");
      if (group.status.sameFileAs(sourceDirectory))
        throw RunTimeError(ErrorNumber::PathFileAccessError, request.source,
                           "Is a folder this export replaces or removes");
    }
  }
}

// What an earlier export left in the destination. For a plain export,
// nothing the export makes may be there already: not a group directory,
// and not what an interrupted export left. A replace takes an earlier
// layout, as long as every group directory is wholly this program's, and
// clears what an interrupted export left, putting back an earlier index
// that stands only under its waiting name.
void checkEarlierExports(const ExportRequest& request, ExportPlan& plan, const IndexPlace& index,
                         FileSystem& files) {
  std::optional<EarlierLayout> earlier;
  try {
    earlier = findEarlierLayout(files, request.destination);
  } catch (const ForeignEntry&) {
    // Not ours: a replace is refused; a plain export is refused below for
    // what stands in its way, as it would be anyway.
    if (request.replace) throw;
  }
  // Beside the index, an interrupted export leaves plain files; anything
  // else there is the user's.
  std::vector<std::string> leftovers;
  for (const std::string& path : {plan.newIndexPath, plan.earlierIndexPath}) {
    const FileStatus status = files.status(path);
    if (status.type == FileType::Missing) continue;
    if (status.type != FileType::Regular)
      throw ForeignEntry(ErrorNumber::PathFileAccessError, path,
                         "Is not what an interrupted export left");
    leftovers.push_back(path);
  }
  // Interrupted between the index's two renames, an export leaves the
  // earlier index under its waiting name only.
  const bool onlyEarlierIndex =
      !plan.replacesIndex && std::count(leftovers.begin(), leftovers.end(), plan.earlierIndexPath);

  if (request.replace) {
    if (onlyEarlierIndex) {
      plan.restoresIndex = plan.replacesIndex = true;
      std::erase(leftovers, plan.earlierIndexPath);
    }
    plan.leftoverFiles = std::move(leftovers);
    plan.earlier = std::move(*earlier);
    plan.staged = !plan.earlier.groups.empty();
    requireOutsideWhatIsReplaced(request, plan, index.directory, files);
    return;
  }

  if (earlier)
    for (const FoundGroup& group : earlier->leftovers)
      leftovers.push_back(joinPath(request.destination, group.name));
  std::vector<std::string> groups;
  for (const std::string& group : layout::groupDirectoryNames(request.names.size())) {
    std::string path = joinPath(request.destination, group);
    if (files.exists(path)) groups.push_back(std::move(path));
  }
  if (!leftovers.empty()) {
    RunTimeError error(ErrorNumber::PathFileAccessError, leftovers.front(),
                       "Left by an interrupted export");
    // Only what the interrupted export left, never an earlier layout that
    // stands complete, nor the one earlier index there is.
    std::string note;
    if (onlyEarlierIndex) {
      std::erase(leftovers, plan.earlierIndexPath);
      note = plan.earlierIndexPath + " is the earlier index: rename it " +
             fileNameOf(plan.indexPath) + (leftovers.empty() ? " to export again." : ", and ");
    }
    if (!leftovers.empty())
      note += (note.empty() ? "Remove " : "remove ") + listOf(leftovers) + " to export again.";
    error.setNote(note);
    if (earlier) refuseReplaceable(error);
    throw error;
  }
  if (!groups.empty()) {
    RunTimeError error = errorFromErrno(EEXIST, groups.front(), PathRole::Directory);
    if (groups.size() > 1)
      error.setNote("Also in the way: " +
                    listOf(std::vector<std::string>(groups.begin() + 1, groups.end())) + ".");
    if (earlier && !earlier->groups.empty()) refuseReplaceable(error);
    throw error;
  }
}

// The records of the earlier index at the index path, when it is one this
// program wrote and nothing says the layout beside it is incomplete.
std::optional<std::vector<EarlierRecord>> readEarlierIndex(const ExportPlan& plan,
                                                           FileSystem& files) {
  // An index of a few hundred thousand games is a few megabytes; anything
  // much larger is not one.
  constexpr std::size_t kLargestIndex = 64 * 1024 * 1024;
  if (!plan.replacesIndex || plan.restoresIndex || !plan.leftoverFiles.empty() ||
      !plan.earlier.leftovers.empty())
    return std::nullopt;
  std::unique_ptr<ReadableFile> file = files.openForReading(plan.indexPath);
  std::string bytes;
  char piece[64 * 1024];
  while (const std::size_t got = file->read(piece, sizeof piece)) {
    throwIfInterrupted();
    bytes.append(piece, got);
    if (bytes.size() > kLargestIndex) return std::nullopt;
  }
  return parseEarlierIndex(bytes);
}

// Whether two files hold the same bytes.
bool sameBytes(FileSystem& files, const std::string& a, const std::string& b) {
  constexpr std::size_t kPiece = 256 * 1024;
  std::unique_ptr<ReadableFile> first = files.openForReading(a);
  std::unique_ptr<ReadableFile> second = files.openForReading(b);
  std::vector<char> one(kPiece), other(kPiece);
  for (;;) {
    throwIfInterrupted();
    const std::size_t got = first->read(one.data(), kPiece);
    std::size_t filled = 0;
    while (filled < got) {
      const std::size_t more = second->read(other.data() + filled, got - filled);
      if (more == 0) return false;
      filled += more;
    }
    if (got == 0) return second->read(other.data(), 1) == 0;
    if (std::memcmp(one.data(), other.data(), got) != 0) return false;
  }
}

// Whether two modification times are the same, as a volume that keeps
// them in steps of `granularity` nanoseconds can tell.
bool sameTime(const FileStatus& a, const FileStatus& b, std::int64_t granularity) {
  constexpr std::int64_t kBillion = 1'000'000'000;
  // Whole seconds first: times far apart would overflow in nanoseconds.
  const std::int64_t seconds = a.modifiedSeconds - b.modifiedSeconds;
  if (seconds > granularity / kBillion + 1 || -seconds > granularity / kBillion + 1) return false;
  const std::int64_t apart =
      seconds * kBillion + a.modifiedNanoseconds - static_cast<std::int64_t>(b.modifiedNanoseconds);
  return (apart < 0 ? -apart : apart) < std::max<std::int64_t>(granularity, 1);
}

// The files a replace removes or renames, by device and inode, with why
// none of them may be a source: the earlier copies, and what an interrupted
// export left.
using ReplacedFiles = std::map<std::pair<std::uint64_t, std::uint64_t>, std::string>;

ReplacedFiles replacedFiles(const ExportPlan& plan, FileSystem& files) {
  ReplacedFiles replaced;
  auto add = [&](const FileStatus& status, const char* why) {
    replaced.emplace(std::pair{status.device, status.inode}, why);
  };
  constexpr char kLeftover[] = "Is in what an interrupted export left, which this export removes";
  for (const FoundGroup& group : plan.earlier.groups)
    for (const DirectoryEntry& copy : group.copies)
      add(copy.status, "Is a copy in the layout this export replaces");
  for (const FoundGroup& group : plan.earlier.leftovers)
    for (const DirectoryEntry& copy : group.copies) add(copy.status, kLeftover);
  for (const std::string& path : plan.leftoverFiles) add(files.status(path), kLeftover);
  return replaced;
}

// The copy names of one group so far: two listed names may make one
// (extensionless "23" at list index 1 and "3" at 12 both make "123"), and
// FAT, where players' drives live, ignores case when it compares names.
class CopyNames {
 public:
  explicit CopyNames(std::function<std::string(std::size_t)> sourceOf)
      : sourceOf_(std::move(sourceOf)) {}

  // Takes the copy name of list index j, refusing one that an earlier index
  // of its group took.
  void take(std::size_t j, const std::string& name) {
    if (j % layout::kGroupSize == 0) taken_.clear();
    const auto [at, added] = taken_.emplace(layout::upperCaseAscii(name), j);
    if (added) return;
    throw ExportFailure(
        RunTimeError(ErrorNumber::PathFileAccessError, sourceOf_(j),
                     "Takes the copy name " +
                         joinPath(layout::groupDirectoryName(layout::groupNumberOf(j)), name) +
                         ", as " + sourceOf_(at->second) + " does"),
        kCheckingNames, /*refused=*/true);
  }

 private:
  std::function<std::string(std::size_t)> sourceOf_;
  std::unordered_map<std::string, std::size_t> taken_;
};

// FAT and exFAT take no control character and none of these in a name.
void requireFatName(VolumeFormat format, const std::string& copyPath) {
  if (format == VolumeFormat::Other) return;
  const std::string name = fileNameOf(copyPath);
  for (const char c : name) {
    if (static_cast<unsigned char>(c) >= 0x20 && !std::strchr("\"*:<>?\\|", c)) continue;
    std::string shown = "\"?\"";
    shown[1] = c;
    if (static_cast<unsigned char>(c) < 0x20) shown = "a control character";
    throw RunTimeError(ErrorNumber::BadFileName, copyPath,
                       "Holds " + shown + ", which a FAT drive does not take in a name");
  }
}

// FAT32 keeps a file's size in 32 bits.
void requireFatSize(VolumeFormat format, const std::string& source, std::uint64_t size) {
  constexpr std::uint64_t kLargestOnFat = 0xFFFF'FFFFu;
  if (format != VolumeFormat::Fat || size <= kLargestOnFat) return;
  throw RunTimeError(ErrorNumber::PathFileAccessError, source,
                     "Is " + sizeText(size) + "; a file on a FAT32 drive holds at most " +
                         withThousands(kLargestOnFat) + " bytes");
}

}  // namespace

std::string newIndexPathFor(const std::string& indexPath) { return indexPath + ".simplekavo-new"; }

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
  const IndexPlace index = during(
      kCheckingIndexPath, [&] { return checkIndexPath(request, destinationStatus, files, plan); });
  during(kCheckingDestination, [&] { checkEarlierExports(request, plan, index, files); });
  // A replace looks for the earlier copies it can reuse, by the earlier
  // index's names.
  std::vector<std::optional<std::size_t>> earlierIndices;
  std::int64_t granularity = 1;
  if (plan.staged) {
    during(kCheckingIndexPath, [&] {
      if (const auto records = readEarlierIndex(plan, files))
        earlierIndices = earlierListIndices(names, *records);
    });
    during(kCheckingDestination, [&] { granularity = files.timeGranularity(destination); });
  }
  const ReplacedFiles replaced = during(kCheckingDestination, [&] {
    return request.replace ? replacedFiles(plan, files) : ReplacedFiles{};
  });
  plan.reused.resize(count);

  const VolumeSpace space = during(kCheckingSpace, [&] { return files.volumeSpace(destination); });
  if (!space.known) plan.spaceUnchecked.push_back(destination);
  std::uint64_t needed = 0;      // on the destination's volume
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
    CopyNames copyNames(sourceOf);
    for (std::size_t j = 0; j < count; ++j) {
      throwIfInterrupted();  // looking at thousands of files on a slow drive takes a while
      for (; handedIn < count && lookers.hasRoom(); ++handedIn)
        lookers.handIn([&files, &found, k = handedIn, source = sourceOf(handedIn)] {
          found[k % kInHand] = files.inspectSource(source);
        });
      // A replace makes its copies under the staged name first.
      const std::size_t groupNumber = layout::groupNumberOf(j);
      const std::string group =
          joinPath(destination, plan.staged ? stagedGroupName(groupNumber)
                                            : layout::groupDirectoryName(groupNumber));
      const std::string copyName = layout::copyFileName(names[j], j);
      requireFits(joinPath(group, copyName), nameLimit);
      requireFatName(space.format, joinPath(group, copyName));
      copyNames.take(j, copyName);
      const std::string source = sourceOf(j);
      if (source.size() >= PATH_MAX) throw errorFromErrno(ENAMETOOLONG, source);
      lookers.takeBackOldestInTurn();
      const FileStatus status = found[j % kInHand];
      if (status.sameFileAs(index.standing))
        throw RunTimeError(ErrorNumber::PathFileAccessError, plan.indexPath,
                           "Is one of the files to export" +
                               (source == plan.indexPath ? "" : " (" + source + ")"));
      if (const auto at = replaced.find({status.device, status.inode}); at != replaced.end())
        throw RunTimeError(ErrorNumber::PathFileAccessError, source, at->second);
      requireFatSize(space.format, source, status.size);
      plan.sizes.push_back(status.size);
      indexBytes += layout::record(names[j], j).size();
      if (!earlierIndices.empty() && earlierIndices[j]) {
        const std::size_t before = *earlierIndices[j];
        const std::string name = layout::copyFileName(names[j], before);
        const std::size_t group = layout::groupNumberOf(before);
        const DirectoryEntry* copy = plan.earlier.copy(group, name);
        const std::string path =
            joinPath(joinPath(destination, layout::groupDirectoryName(group)), name);
        if (copy && copy->status.size == status.size &&
            (request.compareBytes ? sameBytes(files, path, source)
                                  : sameTime(copy->status, status, granularity))) {
          plan.reused[j] = path;
          ++plan.reusedCount;
          continue;  // nothing to write
        }
      }
      plan.bytes += status.size;
      needed += roundUp(status.size, space.blockSize);
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
                           "Needs " + sizeText(bytes) + "; " + sizeText(room.available) + " free");
    };
    if (index.directory.device == destinationStatus.device) {
      requireRoom(space, needed + roundUp(indexBytes, space.blockSize), destination);
    } else {
      requireRoom(space, needed, destination);
      const VolumeSpace indexSpace = files.volumeSpace(plan.indexDirectory);
      if (!indexSpace.known) plan.spaceUnchecked.push_back(plan.indexDirectory);
      requireRoom(indexSpace, roundUp(indexBytes, indexSpace.blockSize), plan.indexDirectory);
    }
  });
  return plan;
}

}  // namespace kavo
