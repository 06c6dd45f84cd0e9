#include "export/rom_set_export.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
#include <exception>
#include <set>

#include "export/copy_workers.h"
#include "export/earlier_layout.h"
#include "export/export_checks.h"
#include "export/number_text.h"
#include "export/rom_layout.h"
#include "export/undo_log.h"
#include "platform/services/interruption.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

using layout::joinPath;

constexpr char kIndexFileName[] = "FILES.TXT";

constexpr char kLeftAsItWas[] = "The destination was left as it was.";

// The steps of the writing, as a failure names them.
constexpr char kOpeningDrive[] = "opening the drive";
constexpr char kCreatingIndex[] = "creating the index";
constexpr char kMakingGroup[] = "creating a group directory";
constexpr char kCopying[] = "copying";
constexpr char kWritingIndex[] = "writing the index";
constexpr char kFlushing[] = "writing to the drive";
constexpr char kReplacingIndex[] = "replacing the index";
constexpr char kClearing[] = "clearing what an interrupted export left";
constexpr char kReusing[] = "moving an earlier copy";
constexpr char kSwapping[] = "putting the new layout in place";

// Jobs handed to the workers and not yet recorded in the index, at most:
// enough to keep every worker busy, few enough to keep memory flat.
constexpr std::size_t kJobsInHand = 8;

// A job holds the copies of one group up to about this many bytes, so that
// a few large files are copied side by side rather than one after another.
constexpr std::uint64_t kJobBytes = 32 * 1024 * 1024;

// The index is written in pieces of about this size rather than a record
// at a time: one system call per record costs as much as a small copy.
constexpr std::size_t kIndexPiece = 64 * 1024;

// Makes one change through `make`, noted in the undo log first; a change
// that fails outright made nothing to take back.
template <typename Make>
void change(UndoLog& undo, Make&& make) {
  try {
    make();
  } catch (...) {
    undo.notMade();
    throw;
  }
}

// Takes back what the export made and flushes that too, so that a power cut
// cannot bring it back; says how it went.
std::string undoEverything(UndoLog& undo, VolumeSync* destination, VolumeSync* index) {
  std::vector<std::string> left = undo.undo();
  for (VolumeSync* volume : {destination, index}) {
    if (!volume) continue;
    try {
      volume->sync();
    } catch (const RunTimeError& error) {
      left.push_back(error.path() + " (" + error.reason() + ")");
    }
  }
  if (left.empty()) return kLeftAsItWas;
  std::string text = "Not everything this export made could be taken back:";
  for (std::size_t i = 0; i < left.size() && i < 10; ++i) text += "\n" + left[i];
  if (left.size() > 10) text += "\nand " + std::to_string(left.size() - 10) + " more";
  return text;
}

// What clearing an interrupted export's leftovers changed, so that a
// message after a later failure can say so.
struct Cleared {
  std::string indexPutBack;  // the index's waiting name, once it is back
  std::vector<std::string> removed;

  bool empty() const { return indexPutBack.empty() && removed.empty(); }

  // "FILES.TXT.simplekavo-old was put back as FILES.TXT, and ROMS1.simplekavo-new
  // was removed"
  std::string text(const ExportPlan& plan) const {
    std::string text;
    if (!indexPutBack.empty()) text = indexPutBack + " was put back as " + plan.indexPath;
    if (!removed.empty())
      text += (text.empty() ? "" : ", and ") + listOf(removed) +
              (removed.size() == 1 ? " was removed" : " were removed");
    return text;
  }
};

// Takes back what an interrupted export left, before a replace starts. An
// earlier index that stands only under its waiting name takes its name back
// first, and that reaches the drive before anything is removed; then the
// staged and retired groups and the files beside the index go.
void clearLeftovers(const ExportPlan& plan, const std::string& destination, FileSystem& files,
                    Cleared& cleared) {
  if (plan.restoresIndex) {
    files.rename(plan.earlierIndexPath, plan.indexPath);
    cleared.indexPutBack = plan.earlierIndexPath;
    files.syncDirectory(plan.indexDirectory);
  }
  for (const FoundGroup& group : plan.earlier.leftovers) {
    const std::string directory = joinPath(destination, group.name);
    for (const DirectoryEntry& copy : group.copies)
      files.removeFile(joinPath(directory, copy.name));
    files.removeDirectory(directory);
    cleared.removed.push_back(directory);
  }
  for (const std::string& path : plan.leftoverFiles) {
    files.removeFile(path);
    cleared.removed.push_back(path);
  }
}

// What the message after a failure says of the destination: as it was, or
// what could not be taken back; and what clearing an interrupted export's
// leftovers changed before, which is not taken back.
std::string afterFailure(const std::string& undone, const Cleared& cleared,
                         const ExportPlan& plan) {
  if (cleared.empty()) return undone;
  if (undone == kLeftAsItWas)
    return "The destination was left as it was, but for what an interrupted export left: " +
           cleared.text(plan) + ".";
  return undone + "\nBefore that, of what an interrupted export left, " + cleared.text(plan) + ".";
}

// Once the new layout is in place, removes the earlier copies that nothing
// reused and the retired group directories. The export is complete by
// then, so what cannot be removed is reported, not taken back; a later
// replace clears it.
void removeRetiredGroups(const ExportPlan& plan, const std::string& destination, FileSystem& files,
                         ExportSummary& summary) {
  const std::set<std::string> reused(plan.reused.begin(), plan.reused.end());
  for (const FoundGroup& group : plan.earlier.groups) {
    const std::string before = joinPath(destination, group.name);
    const std::string directory = joinPath(destination, retiredGroupName(group.number));
    bool emptied = true;
    for (const DirectoryEntry& copy : group.copies) {
      if (reused.count(joinPath(before, copy.name))) continue;
      try {
        files.removeFile(joinPath(directory, copy.name));
        ++summary.removed;
      } catch (const RunTimeError& error) {
        summary.notRemoved.push_back(error.path() + " (" + error.reason() + ")");
        emptied = false;
      }
    }
    try {
      if (emptied) files.removeDirectory(directory);
    } catch (const RunTimeError& error) {
      summary.notRemoved.push_back(error.path() + " (" + error.reason() + ")");
    }
  }
  try {
    files.syncDirectory(destination);
  } catch (const RunTimeError& error) {
    summary.notRemoved.push_back(error.path() + " (" + error.reason() + ")");
  }
}

}  // namespace

std::string copyingText(std::size_t number, std::size_t count) {
  return "Copying " + std::to_string(number) + " of " + std::to_string(count);
}

std::string proposedIndexPath(const std::string& destination) {
  return joinPath(destination, kIndexFileName);
}

ExportSummary exportRomSet(const ExportRequest& request, FileSystem& files) {
  SilentProgress silent;
  return exportRomSet(request, files, silent);
}

ExportSummary exportRomSet(const ExportRequest& request, FileSystem& files, Progress& progress) {
  const ExportPlan plan = checkBeforeWriting(request, files);
  const std::vector<std::string>& names = request.names;
  const std::size_t count = names.size();

  // A replace builds each group under its staged name, beside the earlier
  // layout, and swaps it in at the end.
  auto groupPath = [&](std::size_t group) {
    return joinPath(request.destination,
                    plan.staged ? stagedGroupName(group) : layout::groupDirectoryName(group));
  };
  auto copyPath = [&](std::size_t j) {
    return joinPath(groupPath(layout::groupNumberOf(j)), layout::copyFileName(names[j], j));
  };
  UndoLog undo(files, copyPath);
  // The jobs in hand, oldest first, as ranges of list indices, and how many
  // copies each has started, by the job's number modulo kJobsInHand. Made
  // before the workers, so that they outlast any job still running.
  std::deque<std::pair<std::size_t, std::size_t>> inHand;
  std::size_t jobsHandedIn = 0, jobsTakenBack = 0;
  std::array<std::atomic<std::size_t>, kJobsInHand> started{};
  CopyWorkers workers(files.copiesAtOnce(), kJobsInHand);
  std::unique_ptr<VolumeSync> destinationVolume, indexVolume;
  Cleared cleared;
  const char* step = kOpeningDrive;
  try {
    if (request.replace) {
      step = kClearing;
      clearLeftovers(plan, request.destination, files, cleared);
    }
    step = kOpeningDrive;
    destinationVolume = files.watchVolume(request.destination);
    indexVolume = files.watchVolume(plan.indexDirectory);

    step = kCreatingIndex;
    std::unique_ptr<WritableFile> index;
    undo.makingFile(plan.newIndexPath);
    change(undo, [&] { index = files.createNew(plan.newIndexPath); });

    // The copies are handed to the workers as jobs: runs of consecutive
    // copies in one group, a whole group of small files or a few large
    // ones, each made in order by one worker while the other workers fill
    // other runs. Creating small files in one folder from several threads
    // at once only makes them wait for each other; large files gain from
    // being written side by side. A group's directory is made before its
    // first job is handed in, and a job's records are written once all its
    // copies are complete, in list order, so the index never names a copy
    // that is not whole.
    std::uint64_t recordBytes = 0;
    std::string records;       // written to the index a piece at a time
    std::size_t recorded = 0;  // copies whose records are in `records`
    // Records the copies up to `end`, all complete.
    auto recordUpTo = [&](std::size_t end) {
      step = kWritingIndex;
      for (; recorded < end; ++recorded) {
        const std::string record = layout::record(names[recorded], recorded);
        records += record;
        recordBytes += record.size();
      }
      if (records.size() >= kIndexPiece) {
        index->print(records);
        records.clear();
      }
    };
    auto recordOldestJob = [&] {
      const auto [first, end] = inHand.front();
      step = kCopying;
      progress.step(copyingText(first + 1, count), names[first], first, count);
      workers.takeBackOldest();
      inHand.pop_front();
      ++jobsTakenBack;
      recordUpTo(end);
    };
    for (std::size_t group = 0; group < layout::groupCount(count); ++group) {
      throwIfInterrupted();
      step = kMakingGroup;
      const std::string path = groupPath(group);
      undo.makingDirectory(path);
      change(undo, [&] { files.makeDirectory(path); });
      std::shared_ptr<const OpenDirectory> directory = files.openDirectory(path);
      const std::size_t groupEnd = std::min((group + 1) * layout::kGroupSize, count);
      for (std::size_t first = group * layout::kGroupSize; first < groupEnd;) {
        // An earlier copy that is still right is moved to its new place, no
        // byte written; the copies between are made by the workers.
        if (!plan.reused[first].empty()) {
          step = kReusing;
          undo.renaming(plan.reused[first], copyPath(first));
          change(undo, [&] { files.rename(plan.reused[first], copyPath(first)); });
          ++first;
          continue;
        }
        std::size_t end = first;
        for (std::uint64_t bytes = 0;
             end < groupEnd && bytes < kJobBytes && plan.reused[end].empty(); ++end)
          bytes += plan.sizes[end];
        // After a failure nothing more is handed in; taking back the oldest
        // job then throws it.
        while (!workers.hasRoom() || workers.failed()) recordOldestJob();
        // A copy cut short leaves part of itself, so every copy the job may
        // start is in the log; those it never started come out after a
        // failure.
        for (std::size_t j = first; j < end; ++j) undo.makingCopy(j);
        std::atomic<std::size_t>& startedHere = started[jobsHandedIn % kJobsInHand];
        startedHere = 0;
        workers.handIn([&files, &request, &names, &startedHere, directory, first, end] {
          for (std::size_t j = first; j < end; ++j) {
            startedHere = j - first + 1;
            files.copyInto(joinPath(request.source, names[j]), *directory,
                           layout::copyFileName(names[j], j));
          }
        });
        inHand.emplace_back(first, end);
        ++jobsHandedIn;
        first = end;
      }
    }
    while (workers.inHand() > 0) recordOldestJob();
    recordUpTo(count);
    records.append(layout::paddingLength(recordBytes), ' ');
    index->print(records);
    index->close();

    // Users pull the drive the moment success is reported, so the copies,
    // the directories and the new index reach it first; only then does the
    // new index take the place of the earlier one, and that reaches the
    // drive too before the earlier one goes.
    step = kFlushing;
    progress.step(kFlushingText, request.destination, count, count);
    progress.wait([&] {
      destinationVolume->sync();
      indexVolume->sync();
      throwIfInterrupted();
      if (plan.staged) {
        // The earlier groups step aside under their retired names and the
        // staged ones take the group names; every rename is taken back
        // after a failure, until the new layout has reached the drive.
        step = kSwapping;
        for (const FoundGroup& earlier : plan.earlier.groups) {
          const std::string from = joinPath(request.destination, earlier.name);
          const std::string to = joinPath(request.destination, retiredGroupName(earlier.number));
          undo.renaming(from, to);
          change(undo, [&] { files.rename(from, to); });
        }
        for (std::size_t group = 0; group < layout::groupCount(count); ++group) {
          const std::string to = joinPath(request.destination, layout::groupDirectoryName(group));
          undo.renaming(groupPath(group), to);
          change(undo, [&] { files.rename(groupPath(group), to); });
        }
      }
      step = kReplacingIndex;
      if (plan.replacesIndex) {
        undo.renaming(plan.indexPath, plan.earlierIndexPath);
        change(undo, [&] { files.rename(plan.indexPath, plan.earlierIndexPath); });
      }
      undo.renaming(plan.newIndexPath, plan.indexPath);
      change(undo, [&] { files.rename(plan.newIndexPath, plan.indexPath); });
      step = kFlushing;
      files.syncDirectory(plan.indexDirectory);
      if (plan.staged) files.syncDirectory(request.destination);
      step = kReplacingIndex;
      if (plan.replacesIndex) files.removeFile(plan.earlierIndexPath);
    });
    undo.forget();
  } catch (...) {
    ExportFailure failure(currentRunTimeError(), step, /*refused=*/false);
    // Nothing may still be writing while the export is taken back, and
    // copies that never started made nothing to take back.
    workers.stop();
    for (std::size_t k = 0; k < inHand.size(); ++k)
      undo.copiesNotMade(inHand[k].first + started[(jobsTakenBack + k) % kJobsInHand],
                         inHand[k].second);
    progress.step(kUndoingText, request.destination, 0, 0);
    std::string note = undoEverything(undo, destinationVolume.get(), indexVolume.get());
    // Clearing comes before anything of this export is made, and changes
    // only what an interrupted export left.
    if (step == kClearing && !cleared.empty())
      note = "Of what an interrupted export left, " + cleared.text(plan) +
             "; nothing else was changed.";
    else
      note = afterFailure(note, cleared, plan);
    if (failure.number() == ErrorNumber::DiskFull)
      for (const std::string& directory : plan.spaceUnchecked)
        note += "\nThe free space on " + directory +
                " could not be checked before writing: its volume does not tell it.";
    failure.setNote(note);
    progress.finish();
    throw failure;
  }
  ExportSummary summary;
  summary.indexPath = plan.indexPath;
  summary.files = count;
  summary.groups = layout::groupCount(count);
  summary.bytes = plan.bytes;
  summary.replaced = plan.staged;
  summary.reused = plan.reusedCount;
  summary.spaceUnchecked = plan.spaceUnchecked;
  if (plan.staged) removeRetiredGroups(plan, request.destination, files, summary);
  progress.finish();
  return summary;
}

}  // namespace kavo
