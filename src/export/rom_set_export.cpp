#include "export/rom_set_export.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
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
  // The jobs in hand, oldest first, as ranges of list indices, and how many
  // copies each has started, by the job's number modulo kJobsInHand. Made
  // before the workers, so that they outlast any job still running.
  std::deque<std::pair<std::size_t, std::size_t>> inHand;
  std::size_t jobsHandedIn = 0, jobsTakenBack = 0;
  std::array<std::atomic<std::size_t>, kJobsInHand> started{};
  CopyWorkers workers(files.copiesAtOnce(), kJobsInHand);
  std::unique_ptr<VolumeSync> destinationVolume, indexVolume;
  const char* step = kOpeningDrive;
  try {
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
    std::string records;  // written to the index a piece at a time
    auto recordOldestJob = [&] {
      const auto [first, end] = inHand.front();
      step = kCopying;
      progress.step(copyingText(first + 1, count), names[first], first, count);
      workers.takeBackOldest();
      inHand.pop_front();
      ++jobsTakenBack;
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
      step = kMakingGroup;
      const std::string groupPath =
          joinPath(request.destination, layout::groupDirectoryName(group));
      undo.makingDirectory(groupPath);
      change(undo, [&] { files.makeDirectory(groupPath); });
      std::shared_ptr<const OpenDirectory> directory = files.openDirectory(groupPath);
      const std::size_t groupEnd = std::min((group + 1) * layout::kGroupSize, count);
      for (std::size_t first = group * layout::kGroupSize; first < groupEnd;) {
        std::size_t end = first;
        for (std::uint64_t bytes = 0; end < groupEnd && bytes < kJobBytes; ++end)
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
    for (std::size_t k = 0; k < inHand.size(); ++k)
      undo.copiesNotMade(inHand[k].first + started[(jobsTakenBack + k) % kJobsInHand],
                         inHand[k].second);
    progress.step(kUndoingText, request.destination, 0, 0);
    failure.setNote(undoEverything(undo, destinationVolume.get(), indexVolume.get()));
    progress.finish();
    throw failure;
  }
  progress.finish();
  return {plan.indexPath, count, layout::groupCount(count), plan.bytes};
}

}  // namespace kavo
