#include "export/rom_set_export.h"

#include <algorithm>
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

// Copies handed to the workers and not yet recorded in the index, at most:
// enough to keep every worker busy, few enough to keep memory flat.
constexpr std::size_t kCopiesInHand = 64;

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
  CopyWorkers workers(files.copiesAtOnce(), kCopiesInHand);
  std::size_t takenBack = 0;  // copies complete, their records due next
  std::unique_ptr<VolumeSync> destinationVolume, indexVolume;
  const char* step = kOpeningDrive;
  try {
    destinationVolume = files.watchVolume(request.destination);
    indexVolume = files.watchVolume(plan.indexDirectory);

    step = kCreatingIndex;
    std::unique_ptr<WritableFile> index;
    undo.makingFile(plan.newIndexPath);
    change(undo, [&] { index = files.createNew(plan.newIndexPath); });

    // Copies run on a few threads at once, each group's directory made
    // before any of its copies is handed in; each record is written once
    // its copy is complete, in list order, so the index never names a copy
    // that is not whole.
    std::uint64_t recordBytes = 0;
    std::string records;  // written to the index a piece at a time
    auto recordOldest = [&] {
      step = kCopying;
      const std::size_t j = takenBack;
      progress.step(copyingText(j + 1, count), names[j], j, count);
      workers.takeBackOldest();
      ++takenBack;
      step = kWritingIndex;
      const std::string record = layout::record(names[j], j);
      records += record;
      recordBytes += record.size();
      if (records.size() >= kIndexPiece) {
        index->print(records);
        records.clear();
      }
    };
    for (std::size_t group = 0; group < layout::groupCount(count); ++group) {
      throwIfInterrupted();
      step = kMakingGroup;
      const std::string groupPath =
          joinPath(request.destination, layout::groupDirectoryName(group));
      undo.makingDirectory(groupPath);
      change(undo, [&] { files.makeDirectory(groupPath); });
      std::shared_ptr<const OpenDirectory> directory = files.openDirectory(groupPath);
      const std::size_t first = group * layout::kGroupSize;
      const std::size_t end = std::min(first + layout::kGroupSize, count);
      for (std::size_t j = first; j < end; ++j) {
        throwIfInterrupted();
        // After a failure nothing more is handed in; taking back the
        // oldest then throws it.
        while (!workers.hasRoom() || workers.failed()) recordOldest();
        // A copy cut short leaves part of itself, so it stays in the log.
        undo.makingCopy(j);
        workers.handIn([&files, directory, from = joinPath(request.source, names[j]),
                        name = layout::copyFileName(names[j], j)] {
          files.copyInto(from, *directory, name);
        });
      }
    }
    while (workers.inHand() > 0) recordOldest();
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
    undo.copiesNotMadeFrom(takenBack + workers.stop());
    progress.step(kUndoingText, request.destination, 0, 0);
    failure.setNote(undoEverything(undo, destinationVolume.get(), indexVolume.get()));
    progress.finish();
    throw failure;
  }
  progress.finish();
  return {plan.indexPath, count, layout::groupCount(count), plan.bytes};
}

}  // namespace kavo
