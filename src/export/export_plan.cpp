// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/export_plan.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "export/copy_workers.h"
#include "export/export_checks.h"
#include "export/export_failure.h"
#include "export/quick_check.h"
#include "export/rom_layout.h"
#include "platform/services/interruption.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"
#include "text/counts.h"

namespace kavo {

namespace {

using paths::join;

// Runs the work; a run-time error it raises becomes a refusal at `step`.
template <typename Work>
decltype(auto) refusedDuring(const char* step, Work&& work) {
  try {
    return work();
  } catch (const ExportFailure&) {
    throw;
  } catch (const RunTimeError& error) {
    throw ExportFailure(error, step, /*refused=*/true);
  }
}

// A refusal that a replace would not meet.
[[noreturn]] void refuseReplaceable(const RunTimeError& error) {
  ExportFailure failure(error, kCheckingDestination, /*refused=*/true);
  failure.setReplaceable();
  throw failure;
}

// What an interrupted export leaves beside the index: plain files under the
// index's waiting names. Anything else there is the user's.
std::vector<std::string> leftoverFiles(FileSystem& files, const ExportPaths& paths) {
  std::vector<std::string> found;
  for (const std::string& path :
       {paths.index(Waiting::Staged), paths.index(Waiting::Retired),
        paths.manifest(Waiting::Staged), paths.manifest(Waiting::Retired)}) {
    const FileStatus status = files.status(path);
    if (status.type == FileType::Missing) continue;
    if (status.type != FileType::Regular)
      throw ForeignEntry(ErrorNumber::PathFileAccessError, path,
                         "Is not what an interrupted export left");
    found.push_back(path);
  }
  return found;
}

// A replace must not take away the index or the sources: neither may lie in
// a folder it renames or removes (an earlier group, or what an interrupted
// export left).
void requireOutsideWhatIsReplaced(const ExportRequest& request, const ExportPlan& plan,
                                  const FileStatus& indexDirectory, FileSystem& files) {
  const FileStatus sourceDirectory = files.status(join(request.source, "."));
  for (const auto* groups : {&plan.earlier.groups, &plan.leftovers.groups}) {
    for (const FoundGroup& group : *groups) {
      if (group.status.sameFileAs(indexDirectory))
        throw RunTimeError(ErrorNumber::PathFileAccessError, plan.paths.index(),
                           "Lies in a folder this export replaces or removes");
      if (group.status.sameFileAs(sourceDirectory))
        throw RunTimeError(ErrorNumber::PathFileAccessError, request.source,
                           "Is a folder this export replaces or removes");
    }
  }
}

// A plain export is refused by what an earlier export left: say what is in
// the way and, of what an interrupted export left, what to remove (never an
// earlier layout that stands complete, nor the one earlier index there is).
void refuseWhatIsInTheWay(const ExportRequest& request, const ExportPaths& paths,
                          std::vector<std::string> leftovers, bool onlyEarlierIndex,
                          const std::optional<EarlierLayout>& earlier, FileSystem& files) {
  if (earlier)
    for (const FoundGroup& group : earlier->leftovers)
      leftovers.push_back(join(request.destination, group.name));
  std::vector<std::string> groups;
  for (const std::string& group : layout::groupDirectoryNames(request.names.size())) {
    std::string path = join(request.destination, group);
    if (exists(files, path)) groups.push_back(std::move(path));
  }
  if (!leftovers.empty()) {
    RunTimeError error(ErrorNumber::PathFileAccessError, leftovers.front(),
                       "Left by an interrupted export");
    std::string note;
    if (onlyEarlierIndex) {
      std::erase(leftovers, paths.index(Waiting::Retired));
      const std::string& index = paths.index();
      note = paths.index(Waiting::Retired) + " is the earlier index: rename it " +
             std::string(kavo::paths::leaf(index)) +
             (leftovers.empty() ? " to export again." : ", and ");
    }
    if (!leftovers.empty())
      note += (note.empty() ? "Remove " : "remove ") + listOf(leftovers) + " to export again.";
    error.setNote(note);
    if (earlier) refuseReplaceable(error);
    throw error;
  }
  if (!groups.empty()) {
    RunTimeError error(ErrorNumber::PathFileAccessError, groups.front(), "File exists");
    if (groups.size() > 1)
      error.setNote("Also in the way: " +
                    listOf(std::vector<std::string>(groups.begin() + 1, groups.end())) + ".");
    if (earlier && !earlier->groups.empty()) refuseReplaceable(error);
    throw error;
  }
}

// Whether a manifest of this program's stands in the destination: what
// stands under its name must be one, or nothing.
bool checkManifest(FileSystem& files, const std::string& path) {
  const FileStatus status = files.status(path);
  if (status.type == FileType::Missing) return false;
  bool ours = false;
  if (status.type == FileType::Regular) {
    char start[64] = {};
    ours = isOurManifest({start, files.openForReading(path)->read(start, sizeof start)});
  }
  if (!ours)
    throw ForeignEntry(ErrorNumber::PathFileAccessError, path, "Is not this program's manifest");
  return true;
}

// What earlier exports left in the destination. For a plain export,
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
  std::vector<std::string> leftovers = leftoverFiles(files, plan.paths);
  plan.replacesManifest = checkManifest(files, plan.paths.manifest());
  // Interrupted between the index's two renames, an export leaves the
  // earlier index under its waiting name only.
  const std::string earlierIndex = plan.paths.index(Waiting::Retired);
  const bool onlyEarlierIndex =
      !plan.replacesIndex && std::count(leftovers.begin(), leftovers.end(), earlierIndex);
  if (!request.replace)
    refuseWhatIsInTheWay(request, plan.paths, leftovers, onlyEarlierIndex, earlier, files);

  if (onlyEarlierIndex) {
    plan.leftovers.restoresIndex = plan.replacesIndex = true;
    std::erase(leftovers, earlierIndex);
  }
  plan.leftovers.files = std::move(leftovers);
  plan.leftovers.groups = std::move(earlier->leftovers);
  earlier->leftovers.clear();
  plan.earlier = std::move(*earlier);
  plan.staged = !plan.earlier.groups.empty();
  requireOutsideWhatIsReplaced(request, plan, index.directory, files);
}

// The records of the earlier index at the index path, when it is one this
// program wrote and nothing says the layout beside it is incomplete.
std::optional<std::vector<EarlierRecord>> readEarlierIndex(const ExportPlan& plan,
                                                           FileSystem& files) {
  // An index of a few hundred thousand games is a few megabytes; anything
  // much larger is not one.
  constexpr std::size_t kLargestIndex = 64 * 1024 * 1024;
  const Leftovers& left = plan.leftovers;
  if (!plan.replacesIndex || left.restoresIndex || !left.files.empty() || !left.groups.empty())
    return std::nullopt;
  const std::optional<std::string> bytes = readAtMost(files, plan.paths.index(), kLargestIndex);
  if (!bytes) return std::nullopt;
  return parseEarlierIndex(*bytes);
}

// The earlier manifest's records of the earlier copies, by their paths in
// the destination, when it is there and matches the layout: the same
// copies, of the same sizes. Otherwise nothing is trusted of it, and a note
// says why.
std::map<std::string, ManifestEntry> trustedManifest(ExportPlan& plan, FileSystem& files) {
  const std::string path = plan.paths.manifest();
  const Leftovers& left = plan.leftovers;
  if (!left.files.empty() || !left.groups.empty()) return {};
  if (!plan.replacesManifest) {
    plan.notes.push_back(path + " is missing; the earlier copies are compared byte for byte");
    return {};
  }
  const auto entries = readManifest(files, path);
  std::map<std::string, ManifestEntry> recorded;
  if (entries)
    for (const ManifestEntry& entry : *entries) recorded.emplace(entry.copy, entry);
  bool matches =
      entries && recorded.size() == entries->size() && recorded.size() == plan.earlier.copies();
  for (const FoundGroup& group : plan.earlier.groups)
    for (const DirectoryEntry& copy : group.copies) {
      const auto found = recorded.find(layout::layoutPath(group.name, copy.name));
      matches = matches && found != recorded.end() && found->second.size == copy.status.size;
    }
  if (matches) return recorded;
  plan.notes.push_back(
      path + (entries ? " does not match the layout beside it" : " cannot be read as a manifest") +
      "; the earlier copies are compared byte for byte");
  return {};
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
  for (const FoundGroup& group : plan.leftovers.groups)
    for (const DirectoryEntry& copy : group.copies) add(copy.status, kLeftover);
  for (const std::string& path : plan.leftovers.files) add(files.status(path), kLeftover);
  return replaced;
}

// What planning the copies needs beside the plan.
struct CopyContext {
  const IndexPlace& index;
  const VolumeFacts& volume;
  const ReplacedFiles& replaced;
  // The sources' folder's device, when its file system keeps identities a
  // refresh can trust (stable inode numbers and real change times); else
  // nothing, and a source is hashed to be known unchanged.
  std::optional<std::uint64_t> trustedDevice;
  // For a replace, each listed file's list index in the earlier index, and
  // what the earlier manifest recorded of each earlier copy.
  const std::vector<std::optional<std::size_t>>& earlierIndices;
  const std::map<std::string, ManifestEntry>& recorded;
};

// Whether the earlier copy with list index `before` can be moved to copy
// j's place; notes it in the plan when it can.
bool reuse(ExportPlan& plan, std::size_t j, std::size_t before, const CopyContext& with,
           FileSystem& files) {
  PlannedCopy& copy = plan.copies[j];
  const std::size_t group = layout::groupNumberOf(before);
  const std::string name = layout::copyFileName(plan.recordName(j), before);
  const DirectoryEntry* earlier = plan.earlier.copy(group, name);
  if (!earlier) return false;
  const auto found =
      with.recorded.find(layout::layoutPath(layout::groupDirectoryName(group), name));
  const ManifestEntry* recorded = found == with.recorded.end() ? nullptr : &found->second;
  const std::string sourcePath = plan.sourcePath(j);
  const bool trusted = with.trustedDevice && copy.source.device == *with.trustedDevice;
  const std::optional<ContentHash> hash = earlierCopyStillRight(
      files, join(plan.paths.group(group), name), earlier->status, plan.copySize(j),
      trusted ? &copy.source : nullptr, recorded, plan.request->compareBytes,
      [&] { return sourceHash(files, sourcePath, plan.archived(j)); });
  if (!hash) return false;
  copy.reusedFrom = static_cast<std::uint32_t>(before);
  copy.hash = *hash;
  if (recorded && recorded->sample)
    plan.earlierSamples.emplace_back(static_cast<std::uint32_t>(j), *recorded->sample);
  ++plan.reused;
  return true;
}

// Decides copy j from what its source was when looked at: refused, reused
// or copied.
void planCopy(ExportPlan& plan, std::size_t j, const CopyContext& with, FileSystem& files) {
  PlannedCopy& copy = plan.copies[j];
  const std::string sourcePath = plan.sourcePath(j);
  const FileStatus& index = with.index.standing;
  if (index.type != FileType::Missing && copy.source.device == index.device &&
      copy.source.inode == index.inode)
    throw RunTimeError(ErrorNumber::PathFileAccessError, plan.paths.index(),
                       "Is one of the files to export" +
                           (sourcePath == plan.paths.index() ? "" : " (" + sourcePath + ")"));
  if (const auto at = with.replaced.find({copy.source.device, copy.source.inode});
      at != with.replaced.end())
    throw RunTimeError(ErrorNumber::PathFileAccessError, sourcePath, at->second);
  requireFatSize(with.volume.format, sourcePath, plan.copySize(j));
  if (!with.earlierIndices.empty() && with.earlierIndices[j] &&
      reuse(plan, j, *with.earlierIndices[j], with, files))
    return;
  plan.bytes += plan.copySize(j);
}

// What looking at the sources found beside each copy's identity: the
// archives and the notes, by list index, kept in list order once all are
// looked at.
struct SourcesFound {
  std::mutex mutex;
  std::vector<std::pair<std::size_t, ArchivedRom>> archives;
  std::vector<std::pair<std::size_t, std::string>> notes;

  void keep(std::size_t j, SourceLook& look) {
    if (!look.archived && look.note.empty()) return;
    std::lock_guard lock(mutex);
    if (look.archived) archives.emplace_back(j, std::move(*look.archived));
    if (!look.note.empty()) notes.emplace_back(j, std::move(look.note));
  }

  void addTo(ExportPlan& plan) {
    const auto inListOrder = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::sort(archives.begin(), archives.end(), inListOrder);
    for (auto& [j, rom] : archives) {
      plan.copies[j].archive = static_cast<std::uint32_t>(plan.archives.size());
      plan.archives.push_back(std::move(rom));
    }
    std::sort(notes.begin(), notes.end(), inListOrder);
    for (auto& [j, note] : notes) plan.notes.push_back(std::move(note));
  }
};

// Looks at every source, and into those that are archives, noting each
// source it refuses in `refusals`. The sources are looked at by a few
// threads at once, a batch of them a job, so that a file costs no hand-over
// between threads.
void lookAtSources(ExportPlan& plan, FileSystem& files, Refusals& refusals) {
  const std::size_t count = plan.count();
  constexpr std::size_t kBatch = 64, kBatchesInHand = 8;
  // Made before the workers, so that it outlasts any look still running
  // when an interruption leaves this scope.
  SourcesFound found;
  CopyWorkers lookers(plan.request->copiesAtOnce, kBatchesInHand);
  const auto lookAtBatch = [&](std::size_t first, std::size_t end) {
    for (std::size_t k = first; k < end; ++k) {
      try {
        const std::string source = plan.sourcePath(k);
        if (paths::tooLong(source))
          throw RunTimeError(ErrorNumber::BadFileName, source, "File name too long");
        SourceLook look = lookAtSource(files, source, plan.request->names[k], plan.request->wanted);
        plan.copies[k].source = SourceIdentity::of(look.status);
        found.keep(k, look);
      } catch (...) {
        refusals.addCurrent(k);
      }
    }
  };
  for (std::size_t first = 0; first < count; first += kBatch) {
    throwIfInterrupted();  // looking at thousands of files on a slow drive takes a while
    if (!lookers.hasRoom()) lookers.takeBackOldest();
    const std::size_t end = std::min(first + kBatch, count);
    lookers.handIn({first, end}, [&lookAtBatch, first, end] { lookAtBatch(first, end); });
  }
  while (lookers.inHand() > 0) lookers.takeBackOldest();
  found.addTo(plan);
}

// A name given for a record must make the copy its own name makes: the
// same extension as the listed name's or, for an archive, its ROM's.
void checkGivenRecordNames(const ExportPlan& plan, Refusals& refusals) {
  const std::vector<std::string>& given = plan.request->recordNames;
  for (std::size_t j = 0; j < given.size(); ++j) {
    if (given[j].empty() || refusals.refused(j)) continue;
    const ArchivedRom* rom = plan.archived(j);
    const std::string& own = rom ? rom->name : plan.request->names[j];
    if (layout::copyFileName(given[j], j) == layout::copyFileName(own, j)) continue;
    try {
      throw RunTimeError(ErrorNumber::BadFileName, plan.sourcePath(j),
                         "Its name in the index, \"" + given[j] +
                             "\", does not end with its copy's extension, \"" +
                             std::string(layout::extensionOf(own)) + "\"");
    } catch (const RunTimeError&) {
      refusals.addCurrent(j);
    }
  }
}

// Decides every copy, in list order, once the sources have been looked at.
// Returns what the copies take on the destination's volume.
std::uint64_t planCopies(ExportPlan& plan, const CopyContext& with, FileSystem& files,
                         Refusals& refusals) {
  CopyNames copyNames([&](std::size_t j) { return plan.sourcePath(j); });
  std::uint64_t needed = 0;
  for (std::size_t j = 0; j < plan.count(); ++j) {
    throwIfInterrupted();
    if (refusals.refused(j)) continue;
    try {
      const std::string copyPath = plan.copyPath(j);
      requireFits(copyPath, with.volume.nameLimit);
      requireFatName(with.volume.format, copyPath);
      copyNames.take(j, plan.copyFileName(j));
      planCopy(plan, j, with, files);
    } catch (...) {
      refusals.addCurrent(j);
      continue;
    }
    if (!plan.copies[j].reused()) needed += roundUp(plan.copySize(j), with.volume.blockSize);
  }
  refusals.throwIfAny();
  return needed;
}

// The copies, the group directories (a block each), the manifest and the
// index fit on their volumes. An earlier index or manifest stays until the
// new one is complete, so it frees nothing.
void checkSpace(ExportPlan& plan, const IndexPlace& index, const FileStatus& destination,
                const VolumeFacts& volume, std::uint64_t needed, FileSystem& files) {
  const std::uint64_t indexBytes = plan.index().size();
  std::uint64_t manifestBytes = manifestHeader().size();
  for (std::size_t j = 0; j < plan.count(); ++j)
    manifestBytes += manifestLine(plan.manifestEntry(j, {}, 0)).size();
  needed += plan.groupCount() * volume.blockSize;
  needed += roundUp(manifestBytes, volume.blockSize);
  if (!volume.spaceKnown) plan.spaceUnchecked.push_back(plan.paths.destination());
  if (index.directory.device == destination.device) {
    requireRoom(volume, needed + roundUp(indexBytes, volume.blockSize), plan.paths.destination());
    return;
  }
  requireRoom(volume, needed, plan.paths.destination());
  const std::string& directory = plan.paths.indexDirectory();
  const VolumeFacts indexVolume = files.volume(directory);
  if (!indexVolume.spaceKnown) plan.spaceUnchecked.push_back(directory);
  requireRoom(indexVolume, roundUp(indexBytes, indexVolume.blockSize), directory);
}

// For a replace, each listed file's list index in the earlier index, by the
// earlier index's names.
std::vector<std::optional<std::size_t>> earlierIndicesOf(const ExportPlan& plan,
                                                         FileSystem& files) {
  const auto records = readEarlierIndex(plan, files);
  if (!records) return {};
  std::vector<std::string> names;
  names.reserve(plan.count());
  for (std::size_t j = 0; j < plan.count(); ++j) names.push_back(plan.recordName(j));
  return earlierListIndices(names, *records);
}

// The device of the sources' folder, when its file system keeps identities
// that can be trusted.
std::optional<std::uint64_t> trustedSourceDevice(FileSystem& files, const std::string& source) {
  if (!files.volume(source).stableIdentity) return std::nullopt;
  return files.status(join(source, "."), Look::Target).device;
}

// A replace whose list is empty would leave the drive with no game at all:
// a filter that matches nothing, or a source drive that is not mounted.
void refuseEmptyReplace(const ExportRequest& request, const ExportPlan& plan) {
  if (!request.replace || !request.names.empty() || plan.earlier.copies() == 0) return;
  throw RunTimeError(ErrorNumber::PathFileAccessError, request.source,
                     "Lists no file; a replace would leave none of the " +
                         counted(plan.earlier.copies(), "game", "games") + " in " +
                         request.destination);
}

// The groups and the count a description gives.
DestinationDescription describe(const std::vector<FoundGroup>& groups,
                                const std::vector<FoundGroup>& leftovers, std::size_t games) {
  DestinationDescription description;
  const std::vector<FoundGroup>& shown = groups.empty() ? leftovers : groups;
  if (shown.empty()) return description;
  description.holdsLayout = true;
  description.games = games;
  description.firstGroup = description.lastGroup = shown.front().number;
  for (const FoundGroup& group : shown) {
    description.firstGroup = std::min(description.firstGroup, group.number);
    description.lastGroup = std::max(description.lastGroup, group.number);
  }
  return description;
}

}  // namespace

std::string DestinationDescription::text() const {
  return "a layout of " + counted(games, "game", "games") + " in " +
         layout::groupDirectoryName(firstGroup) + " to " + layout::groupDirectoryName(lastGroup);
}

std::size_t ExportPlan::groupCount() const { return layout::groupCount(count()); }

std::string ExportPlan::sourcePath(std::size_t listIndex) const {
  return join(request->source, request->names[listIndex]);
}

const ArchivedRom* ExportPlan::archived(std::size_t listIndex) const {
  const std::uint32_t archive = copies[listIndex].archive;
  return archive == PlannedCopy::kNone ? nullptr : &archives[archive];
}

std::uint64_t ExportPlan::copySize(std::size_t listIndex) const {
  const ArchivedRom* rom = archived(listIndex);
  return rom ? rom->size : copies[listIndex].source.size;
}

std::optional<std::uint64_t> ExportPlan::earlierSample(std::size_t listIndex) const {
  const auto found = std::lower_bound(
      earlierSamples.begin(), earlierSamples.end(), listIndex,
      [](const auto& sample, std::size_t listIndex) { return sample.first < listIndex; });
  if (found == earlierSamples.end() || found->first != listIndex) return std::nullopt;
  return found->second;
}

const std::string& ExportPlan::recordName(std::size_t listIndex) const {
  const std::vector<std::string>& given = request->recordNames;
  if (listIndex < given.size() && !given[listIndex].empty()) return given[listIndex];
  const ArchivedRom* rom = archived(listIndex);
  return rom ? rom->name : request->names[listIndex];
}

std::string ExportPlan::copyFileName(std::size_t listIndex) const {
  return layout::copyFileName(recordName(listIndex), listIndex);
}

std::string ExportPlan::groupPath(std::size_t group) const {
  return staged ? paths.group(group, Waiting::Staged) : paths.group(group);
}

std::string ExportPlan::copyPath(std::size_t listIndex) const {
  return join(groupPath(layout::groupNumberOf(listIndex)), copyFileName(listIndex));
}

std::string ExportPlan::finalCopyPath(std::size_t listIndex) const {
  return join(finalGroupPath(layout::groupNumberOf(listIndex)), copyFileName(listIndex));
}

std::string ExportPlan::layoutPath(std::size_t listIndex) const {
  return layout::layoutPath(layout::groupDirectoryName(layout::groupNumberOf(listIndex)),
                            copyFileName(listIndex));
}

std::string ExportPlan::reusedPath(std::size_t listIndex) const {
  const std::size_t before = copies[listIndex].reusedFrom;
  return join(paths.group(layout::groupNumberOf(before)),
              layout::copyFileName(recordName(listIndex), before));
}

ManifestEntry ExportPlan::manifestEntry(std::size_t listIndex, const ContentHash& hash,
                                        std::uint64_t sample) const {
  const std::string& listed = request->names[listIndex];
  const std::string& record = recordName(listIndex);
  return {layoutPath(listIndex),
          copySize(listIndex),
          hash,
          copies[listIndex].source,
          sample,
          listed,
          record == listed ? std::string() : record};
}

std::vector<Step> ExportPlan::steps() const {
  std::vector<Step> steps;
  steps.reserve(groupCount() + count());
  for (std::size_t group = 0; group < groupCount(); ++group) {
    steps.push_back({Step::Kind::MakeGroup, static_cast<std::uint32_t>(group)});
    const std::size_t end = std::min((group + 1) * layout::kGroupSize, count());
    for (std::size_t j = group * layout::kGroupSize; j < end; ++j) {
      const Step::Kind kind = copies[j].reused() ? Step::Kind::Reuse
                              : archived(j)      ? Step::Kind::Unpack
                                                 : Step::Kind::Copy;
      steps.push_back({kind, static_cast<std::uint32_t>(j)});
    }
  }
  return steps;
}

std::vector<Rename> ExportPlan::swap() const {
  std::vector<Rename> renames;
  for (const FoundGroup& group : earlier.groups)
    renames.push_back({paths.group(group.number), paths.group(group.number, Waiting::Retired)});
  for (std::size_t group = 0; group < groupCount(); ++group)
    renames.push_back({groupPath(group), finalGroupPath(group)});
  return renames;
}

std::vector<RetiredGroup> ExportPlan::retired() const {
  std::set<std::string> reusedCopies;
  for (std::size_t j = 0; j < count(); ++j)
    if (copies[j].reused()) reusedCopies.insert(reusedPath(j));
  std::vector<RetiredGroup> groups;
  for (const FoundGroup& group : earlier.groups) {
    const std::string before = paths.group(group.number);
    RetiredGroup& retiredGroup =
        groups.emplace_back(RetiredGroup{paths.group(group.number, Waiting::Retired), {}});
    for (const DirectoryEntry& copy : group.copies)
      if (!reusedCopies.count(join(before, copy.name))) retiredGroup.copies.push_back(copy.name);
  }
  return groups;
}

std::size_t ExportPlan::removed() const { return earlier.copies() - reused; }

DestinationDescription ExportPlan::destination() const {
  return describe(earlier.groups, leftovers.groups, earlier.copies());
}

std::string ExportPlan::index() const {
  // Made twice over, to learn its size first: a large index then takes no
  // more memory than it needs.
  std::size_t size = 0;
  for (std::size_t j = 0; j < count(); ++j) size += layout::record(recordName(j), j).size();
  std::string bytes;
  bytes.reserve(size + layout::paddingLength(size));
  for (std::size_t j = 0; j < count(); ++j) bytes += layout::record(recordName(j), j);
  bytes.append(layout::paddingLength(bytes.size()), ' ');
  return bytes;
}

ExportPlan planFromSources(const ExportRequest& request, FileSystem& files) {
  ExportPlan plan;
  plan.request = &request;
  plan.paths = ExportPaths(request.destination, layout::indexPathFromAnswer(request.indexPath));
  plan.copies.resize(request.names.size());
  refusedDuring(kCheckingNames, [&] { checkNames(request); });
  refusedDuring(kCheckingSources, [&] {
    Refusals refusals;
    lookAtSources(plan, files, refusals);
    checkGivenRecordNames(plan, refusals);
    refusals.throwIfAny();
  });
  return plan;
}

DestinationDescription describeDestination(FileSystem& files, const std::string& destination) {
  const EarlierLayout found = findEarlierLayout(files, destination);
  return describe(found.groups, found.leftovers, found.copies());
}

ExportPlan planExport(const ExportRequest& request, FileSystem& files, DirectoryClaims& claims) {
  ExportPlan plan;
  plan.request = &request;
  plan.copies.resize(request.names.size());
  refusedDuring(kCheckingNames, [&] { checkNames(request); });
  const FileStatus destination = refusedDuring(kCheckingDestination, [&] {
    const FileStatus claimed = claimDestination(files, request.destination, claims);
    requirePickedDrive(request, claimed);
    return claimed;
  });
  const IndexPlace index = refusedDuring(
      kCheckingIndexPath, [&] { return checkIndexPath(request, destination, files, claims); });
  plan.paths = index.paths;
  plan.replacesIndex = index.standing.type == FileType::Regular;
  refusedDuring(kCheckingDestination, [&] {
    checkEarlierExports(request, plan, index, files);
    refuseEmptyReplace(request, plan);
  });
  Refusals refusals;  // of sources, named together once all are looked at
  refusedDuring(kCheckingSources, [&] {
    lookAtSources(plan, files, refusals);
    checkGivenRecordNames(plan, refusals);
  });
  // A replace looks for the earlier copies it can reuse, by the earlier
  // index's names.
  const auto earlierIndices = refusedDuring(kCheckingIndexPath, [&] {
    return plan.staged ? earlierIndicesOf(plan, files) : std::vector<std::optional<std::size_t>>{};
  });
  const ReplacedFiles replaced = refusedDuring(kCheckingDestination, [&] {
    return request.replace ? replacedFiles(plan, files) : ReplacedFiles{};
  });
  const VolumeFacts volume =
      refusedDuring(kCheckingSpace, [&] { return files.volume(request.destination); });
  const auto recorded = refusedDuring(kCheckingDestination, [&] {
    return plan.staged ? trustedManifest(plan, files) : std::map<std::string, ManifestEntry>{};
  });
  const std::optional<std::uint64_t> trustedDevice = refusedDuring(kCheckingSources, [&] {
    return plan.staged ? trustedSourceDevice(files, request.source) : std::nullopt;
  });
  const CopyContext context{index, volume, replaced, trustedDevice, earlierIndices, recorded};
  const std::uint64_t needed =
      refusedDuring(kCheckingSources, [&] { return planCopies(plan, context, files, refusals); });
  refusedDuring(kCheckingSpace,
                [&] { checkSpace(plan, index, destination, volume, needed, files); });
  // After every other refusal, since the player may still want it.
  refusedDuring(kCheckingDestination, [&] { requireOutsideSource(request, files); });
  // Last, since it writes (and removes again): a replace renames folders,
  // which some file systems mishandle.
  if (plan.staged)
    refusedDuring(kCheckingDestination,
                  [&] { requireSafeFolderRenames(files, request.destination); });
  return plan;
}

}  // namespace kavo
