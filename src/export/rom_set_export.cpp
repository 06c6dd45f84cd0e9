#include "export/rom_set_export.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>

#include "export/copy_workers.h"
#include "export/export_checks.h"
#include "export/rom_layout.h"
#include "export/undo_log.h"
#include "platform/services/interruption.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

using layout::joinPath;

constexpr char kIndexFileName[] = "FILES.TXT";

// The steps of the writing, as a failure names them.
constexpr char kOpeningDrive[] = "opening the drive";
constexpr char kCreatingIndex[] = "creating the index";
constexpr char kMakingGroup[] = "creating a group directory";
constexpr char kCopying[] = "copying";
constexpr char kWritingIndex[] = "writing the index";
constexpr char kFlushing[] = "writing to the drive";
constexpr char kReplacingIndex[] = "replacing the index";

// Groups handed to the workers and not yet recorded in the index, at most:
// enough to keep every worker busy, few enough to keep memory flat.
constexpr std::size_t kGroupsInHand = 8;

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
  if (left.empty()) return "The destination was left as it was.";
  std::string text = "Not everything this export made could be taken back:";
  for (std::size_t i = 0; i < left.size() && i < 10; ++i) text += "\n" + left[i];
  if (left.size() > 10) text += "\nand " + std::to_string(left.size() - 10) + " more";
  return text;
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

ExportSummary exportRomSet(const ExportRequest& request, FileSystem& files,
                           Progress& progress) {
  const ExportPlan plan = checkBeforeWriting(request, files);
  const std::vector<std::string>& names = request.names;
  const std::size_t count = names.size();

  auto copyPath = [&](std::size_t j) {
    return joinPath(
        joinPath(request.destination, layout::groupDirectoryName(layout::groupNumberOf(j))),
        layout::copyFileName(names[j], j));
  };
  UndoLog undo(files, copyPath);
  CopyWorkers workers(files.copiesAtOnce(), kGroupsInHand);
  std::size_t groupsHandedIn = 0, groupsTakenBack = 0;
  // How many of its copies the job of each group in hand has started, by
  // group number modulo kGroupsInHand.
  std::array<std::atomic<std::size_t>, kGroupsInHand> started{};
  std::unique_ptr<VolumeSync> destinationVolume, indexVolume;
  const char* step = kOpeningDrive;
  try {
    destinationVolume = files.watchVolume(request.destination);
    indexVolume = files.watchVolume(plan.indexDirectory);

    step = kCreatingIndex;
    std::unique_ptr<WritableFile> index;
    undo.makingFile(plan.newIndexPath);
    change(undo, [&] { index = files.createNew(plan.newIndexPath); });

    // Each group's copies are one job, made in order by one worker while
    // the other workers fill other groups: creating files in one folder
    // from several threads at once only makes them wait for each other.
    // A group's directory is made before its job is handed in, and its
    // records are written once all its copies are complete, in list order,
    // so the index never names a copy that is not whole.
    std::uint64_t recordBytes = 0;
    std::string records;  // written to the index a piece at a time
    auto recordOldestGroup = [&] {
      const std::size_t first = groupsTakenBack * layout::kGroupSize;
      const std::size_t end = std::min(first + layout::kGroupSize, count);
      step = kCopying;
      progress.step(copyingText(first + 1, count), names[first], first, count);
      workers.takeBackOldest();
      ++groupsTakenBack;
      step = kWritingIndex;
      for (std::size_t j = first; j < end; ++j) {
        const std::string record = layout::record(names[j], j);
        records += record;
        recordBytes += record.size();
      }
      if (records.size() >= kIndexPiece) {
        index->print(records);
        records.clear();
      }
    };
    for (std::size_t group = 0; group < layout::groupCount(count); ++group) {
      throwIfInterrupted();
      // After a failure nothing more is handed in; taking back the oldest
      // group then throws it.
      while (!workers.hasRoom() || workers.failed()) recordOldestGroup();
      step = kMakingGroup;
      const std::string groupPath =
          joinPath(request.destination, layout::groupDirectoryName(group));
      undo.makingDirectory(groupPath);
      change(undo, [&] { files.makeDirectory(groupPath); });
      std::shared_ptr<const OpenDirectory> directory = files.openDirectory(groupPath);
      const std::size_t first = group * layout::kGroupSize;
      const std::size_t end = std::min(first + layout::kGroupSize, count);
      // A copy cut short leaves part of itself, so every copy the job may
      // start is in the log; those it never started come out after a
      // failure.
      for (std::size_t j = first; j < end; ++j) undo.makingCopy(j);
      std::atomic<std::size_t>& startedHere = started[group % kGroupsInHand];
      startedHere = 0;
      workers.handIn([&files, &request, &names, &startedHere, directory, first, end] {
        for (std::size_t j = first; j < end; ++j) {
          startedHere = j - first + 1;
          files.copyInto(joinPath(request.source, names[j]), *directory,
                         layout::copyFileName(names[j], j));
        }
      });
      ++groupsHandedIn;
    }
    while (workers.inHand() > 0) recordOldestGroup();
    step = kWritingIndex;
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
      step = kReplacingIndex;
      if (plan.replacesIndex) {
        undo.renaming(plan.indexPath, plan.earlierIndexPath);
        change(undo, [&] { files.rename(plan.indexPath, plan.earlierIndexPath); });
      }
      undo.renaming(plan.newIndexPath, plan.indexPath);
      change(undo, [&] { files.rename(plan.newIndexPath, plan.indexPath); });
      step = kFlushing;
      files.syncDirectory(plan.indexDirectory);
      step = kReplacingIndex;
      if (plan.replacesIndex) files.removeFile(plan.earlierIndexPath);
    });
    undo.forget();
  } catch (...) {
    ExportFailure failure(currentRunTimeError(), step, /*refused=*/false);
    // Nothing may still be writing while the export is taken back, and
    // copies that never started made nothing to take back.
    workers.stop();
    for (std::size_t group = groupsTakenBack; group < groupsHandedIn; ++group) {
      const std::size_t first = group * layout::kGroupSize;
      undo.copiesNotMade(first + started[group % kGroupsInHand],
                         std::min(first + layout::kGroupSize, count));
    }
    progress.step(kUndoingText, request.destination, 0, 0);
    failure.setNote(undoEverything(undo, destinationVolume.get(), indexVolume.get()));
    progress.finish();
    throw failure;
  }
  progress.finish();
  return {plan.indexPath, count, layout::groupCount(count), plan.bytes};
}

}  // namespace kavo
