// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/export_writer.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>

#include "export/manifest.h"
#include "export/quick_check.h"
#include "export/rom_layout.h"
#include "platform/services/interruption.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"
#include "text/counts.h"

namespace kavo {

// A step of a phase failed; `note`, when there is one, says what became of
// the destination better than taking back the undo log would. A drive that
// lied is taken back all the same, but what became of it cannot be known.
struct StepFailure {
  RunTimeError error;
  const char* step;
  std::optional<std::string> note;
  bool driveLied = false;
};

namespace {

// The steps of the writing, as a failure names them.
constexpr char kClearing[] = "clearing what an interrupted export left";
constexpr char kOpeningDrive[] = "opening the drive";
constexpr char kCreatingIndex[] = "creating the index";
constexpr char kMakingGroup[] = "creating a group directory";
constexpr char kReusing[] = "moving an earlier copy";
constexpr char kCopying[] = "copying";
constexpr char kWritingIndex[] = "writing the index";
constexpr char kFlushing[] = "writing to the drive";
constexpr char kVerifying[] = "verifying";
constexpr char kWritingManifest[] = "writing the manifest";
constexpr char kSwapping[] = "putting the new layout in place";
constexpr char kReplacingIndex[] = "replacing the index";

// What the progress says while the export writes and while it takes back.
constexpr char kFlushingText[] = "Writing to the drive";
constexpr char kUndoingText[] = "Removing what this export made";

constexpr char kLeftAsItWas[] = "The destination was left as it was.";
constexpr char kReadsBackDifferent[] =
    "Reads back different from what was written: the drive may be failing, or smaller than it "
    "claims";
// Said instead of what became of the destination once the drive has been
// found returning other bytes than were written: it may have written them
// anywhere, over other files too.
constexpr char kDriveLied[] =
    "The drive returned other bytes than were written to it, so it cannot be trusted: other files "
    "on it may have changed too, whatever this export took back. Test its real capacity (with a "
    "tool such as f3 or H2testw) before you use it again.";

// A read back that found other bytes than were written.
class ReadsBackDifferent : public RunTimeError {
 public:
  explicit ReadsBackDifferent(const std::string& path)
      : RunTimeError(ErrorNumber::DeviceIoError, path, kReadsBackDifferent) {}
};

// Jobs handed to the workers and not yet recorded in the index, at most:
// enough to keep every worker busy, few enough to keep memory flat.
constexpr std::size_t kJobsInHand = 8;

// A job holds the copies of one group up to about this many bytes, so that
// a few large files are copied side by side rather than one after another.
constexpr std::uint64_t kJobBytes = 32 * 1024 * 1024;

// The manifest is written in pieces of about this size, so that a large one
// is never held whole.
constexpr std::size_t kManifestPiece = 64 * 1024;

// A job checks the sampled blocks of at most this many kept copies: a few
// reads each.
constexpr std::size_t kSamplesPerJob = 64;

// Runs the work; whatever it throws fails the export at `step`, unless a
// step inside it has already said where. A drive that read back other bytes
// than were written is said to be untrustworthy.
template <typename Work>
decltype(auto) during(const char* step, Work&& work) {
  try {
    return work();
  } catch (const StepFailure&) {
    throw;
  } catch (const ReadsBackDifferent& error) {
    throw StepFailure{error, step, std::nullopt, true};
  } catch (...) {
    throw StepFailure{currentRunTimeError(), step, std::nullopt};
  }
}

// Goes on past a step that fails, noting it as "path (reason)".
bool attempt(const std::function<void()>& step, std::vector<std::string>& failed) {
  try {
    step();
    return true;
  } catch (const RunTimeError& error) {
    failed.push_back(error.pathAndReason());
    return false;
  }
}

// "Copied k of N", "Read back k of N": k copies are complete.
std::string copiedText(std::size_t done, std::size_t count) {
  return "Copied " + withThousands(done) + " of " + withThousands(count);
}

std::string readBackText(std::size_t done, std::size_t count) {
  return "Read back " + withThousands(done) + " of " + withThousands(count);
}

// Each copy's hashes as far as the plan knows them: a reused copy's; the
// others' come as they are copied.
std::vector<CopyHashes> plannedHashes(const ExportPlan& plan) {
  std::vector<CopyHashes> hashes;
  hashes.reserve(plan.count());
  for (std::size_t j = 0; j < plan.count(); ++j)
    hashes.push_back({plan.copies[j].hash, plan.earlierSample(j).value_or(0)});
  return hashes;
}

}  // namespace

ExportWriter::ExportWriter(const ExportPlan& plan, FileSystem& files, Progress& progress)
    : plan_(plan),
      files_(files),
      progress_(progress),
      undo_(files, plan.count(), [&plan](std::size_t j) { return plan.copyPath(j); }),
      directories_(plan.groupCount()),
      hashes_(plannedHashes(plan)),
      workers_(plan.request->copiesAtOnce, kJobsInHand) {}

ExportSummary ExportWriter::run() {
  try {
    prepare();
    copy();
    commit();
  } catch (const StepFailure& failed) {
    throw takeBack(failed);
  }
  undo_.forget();
  ExportSummary summary = retire();
  progress_.finish();
  return summary;
}

void ExportWriter::prepare() {
  clearLeftovers();
  during(kOpeningDrive, [&] {
    destinationVolume_ = files_.watchVolume(plan_.paths.destination());
    indexVolume_ = files_.watchVolume(plan_.paths.indexDirectory());
  });
  during(kCreatingIndex, [&] { index_ = undo_.createNew(plan_.paths.index(Waiting::Staged)); });
}

// An earlier index that stands only under its waiting name takes its name
// back first, and that reaches the drive before anything is removed; then
// the staged and retired groups and the files beside the index go. Nothing
// of this export is made yet, so a failure here says what clearing changed.
void ExportWriter::clearLeftovers() {
  const Leftovers& left = plan_.leftovers;
  try {
    if (left.restoresIndex) {
      files_.rename(plan_.paths.index(Waiting::Retired), plan_.paths.index());
      cleared_.indexPutBack = plan_.paths.index(Waiting::Retired);
      files_.syncDirectory(plan_.paths.indexDirectory());
    }
    for (const FoundGroup& group : left.groups) {
      const std::string directory = paths::join(plan_.paths.destination(), group.name);
      for (const DirectoryEntry& copy : group.copies)
        files_.removeFile(paths::join(directory, copy.name));
      files_.removeDirectory(directory);
      cleared_.removed.push_back(directory);
    }
    for (const std::string& path : left.files) {
      files_.removeFile(path);
      cleared_.removed.push_back(path);
    }
  } catch (...) {
    std::optional<std::string> note;
    if (!cleared_.empty())
      note = "Of what an interrupted export left, " + clearedText() + "; nothing else was changed.";
    throw StepFailure{currentRunTimeError(), kClearing, note};
  }
}

// The copies are handed to the workers as jobs: runs of consecutive copies
// in one group, a whole group of small files or a few large ones, each made
// in order by one worker while the other workers fill other runs. Creating
// small files in one folder from several threads at once only makes them
// wait for each other; large files gain from being written side by side. A
// group's directory is made before its first job is handed in, and the
// index is written once every copy is complete.
void ExportWriter::copy() {
  during(kCopying, [&] {
    handInSteps();
    // After a failure, taking back the oldest job throws it.
    while (workers_.inHand() > 0) workers_.takeBackOldest();
    during(kWritingIndex, [&] {
      const std::string index = plan_.index();
      indexHash_ = hashOf(index);
      index_->print(index);
      index_->close();
    });
  });
}

void ExportWriter::handInSteps() {
  const std::vector<Step> steps = plan_.steps();
  for (std::size_t k = 0; k < steps.size(); ++k) {
    const Step& step = steps[k];
    switch (step.kind) {
      case Step::Kind::MakeGroup:
        throwIfInterrupted();
        during(kMakingGroup, [&] {
          undo_.makeDirectory(plan_.groupPath(step.index));
          directories_[step.index] = files_.openDirectory(plan_.groupPath(step.index));
        });
        undo_.expectCopies(step.index * layout::kGroupSize,
                           std::min((step.index + 1) * layout::kGroupSize, plan_.count()));
        break;
      case Step::Kind::Reuse:
        // An earlier copy that is still right is moved to its new place,
        // no byte written.
        during(kReusing,
               [&] { undo_.rename(plan_.reusedPath(step.index), plan_.copyPath(step.index)); });
        // A manifest of the first version did not record its sampled
        // blocks; the source's stand for them.
        if (!plan_.earlierSample(step.index))
          during(kCopying, [&] { hashes_[step.index].sample = sourceSample(step.index); });
        break;
      case Step::Kind::Copy:
      case Step::Kind::Unpack: {
        const std::size_t end = jobEnd(step.index);
        handIn(step.index, end);
        k += end - step.index - 1;  // the job's other copies
        break;
      }
    }
  }
}

// Where the job that starts at copy `first` ends: at the end of its group,
// at a reused copy, or once it holds about kJobBytes.
std::size_t ExportWriter::jobEnd(std::size_t first) const {
  const std::size_t groupEnd =
      std::min((layout::groupNumberOf(first) + 1) * layout::kGroupSize, plan_.count());
  std::size_t end = first;
  for (std::uint64_t bytes = 0; end < groupEnd && bytes < kJobBytes && !plan_.copies[end].reused();
       ++end)
    bytes += plan_.copySize(end);
  return end;
}

void ExportWriter::handIn(std::size_t first, std::size_t end) {
  // After a failure nothing more is handed in; taking back the oldest job
  // then throws it.
  while (!workers_.hasRoom() || workers_.failed()) workers_.takeBackOldest();
  const OpenDirectory& directory = *directories_[layout::groupNumberOf(first)];
  workers_.handIn({first, end}, [this, &directory, first, end] {
    // Each copy's bytes are hashed as they are copied, for the manifest and
    // for reading the copy back.
    for (std::size_t j = first; j < end; ++j) {
      Hasher hasher;
      SampleHasher sample(plan_.copySize(j));
      const auto seen = [this, &hasher, &sample, j](const char* bytes, std::size_t size) {
        hasher.add(bytes, size);
        sample.add(bytes, size);
        moved(copied_, j, size, false);
      };
      const std::string name = plan_.copyFileName(j);
      if (const ArchivedRom* rom = plan_.archived(j)) {
        unpack(j, *rom, directory, name, seen);
      } else {
        // The source must still be what the checks found: what the manifest
        // records of it (its size among it) is what was looked at then.
        const FileStatus copied = undo_.copy(j, plan_.sourcePath(j), directory, name, seen);
        if (!(SourceIdentity::of(copied) == plan_.copies[j].source))
          throw RunTimeError(ErrorNumber::PathFileAccessError, plan_.sourcePath(j),
                             "Changed while it was copied");
      }
      hashes_[j] = {hasher.digest(), sample.digest()};
      moved(copied_, j, 0, true);
    }
  });
}

// Unpacks copy j from its archive into a new file, with its ROM's time.
void ExportWriter::unpack(std::size_t j, const ArchivedRom& rom, const OpenDirectory& directory,
                          const std::string& name, const FileSystem::Seen& seen) {
  std::unique_ptr<WritableFile> copy = undo_.createCopy(j, paths::join(directory.path(), name));
  unpackArchive(files_, plan_.sourcePath(j), rom, [&](const char* bytes, std::size_t size) {
    copy->print({bytes, size});
    seen(bytes, size);
  });
  copy->setModified(rom.modifiedSeconds, rom.modifiedNanoseconds);
  copy->close();
}

// Notes, from the thread that copies or reads back copy j, `bytes` more of
// it and, when `finished`, the copy; and shows how far the phase has come,
// a few times a second at most: the count of copies complete, the bytes too
// for large exports, and the name of the copy finished last (copies run side
// by side, so the one a thread is busy with says little; until one is
// finished, the first in hand). One bar runs over the copying and the reading
// back (barUnits).
void ExportWriter::moved(Phase& phase, std::size_t j, std::uint64_t bytes, bool finished) {
  phase.bytes += bytes;
  std::size_t done = phase.copies.load();
  if (finished) {
    done = ++phase.copies;
    phase.last = j;
  }
  const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
  std::int64_t last = lastShown_;
  constexpr std::int64_t kEvery = 50'000'000;  // ns: 20 times a second
  if (now - last < kEvery || !lastShown_.compare_exchange_strong(last, now)) return;
  const std::size_t count = plan_.count() - plan_.reused;
  std::string text = (&phase == &copied_ ? copiedText : readBackText)(std::min(done, count), count);
  constexpr std::uint64_t kLarge = 64 * 1024 * 1024;
  if (plan_.bytes >= kLarge)
    text.append(", ")
        .append(withThousands(phase.bytes >> 20))
        .append(" of ")
        .append(withThousands(plan_.bytes >> 20))
        .append(" MiB");
  const std::size_t lastDone = phase.last;
  const std::size_t shown = lastDone == Phase::kNone ? j : lastDone;
  const auto [unitsDone, units] = barUnits();
  progress_.step(text, plan_.request->names[shown], unitsDone, units);
}

// How far the bar has come, and its end: a unit for each byte copied and,
// when the copies are read back, each byte read back (a KiB where a size_t
// could not count them).
std::pair<std::size_t, std::size_t> ExportWriter::barUnits() const {
  constexpr unsigned kShift = sizeof(std::size_t) < sizeof(std::uint64_t) ? 10 : 0;
  const std::uint64_t total = plan_.bytes * (plan_.request->verify ? 2 : 1);
  return {static_cast<std::size_t>((copied_.bytes + verified_.bytes) >> kShift),
          std::max<std::size_t>(static_cast<std::size_t>(total >> kShift), 1)};
}

// Users pull the drive the moment success is reported, so everything the
// export writes (the copies, the directories, the new index and manifest)
// is written and flushed first, then read back from the drive, last of all
// what was written; only then do a replace's staged groups and the new
// index and manifest take their names, every rename taken back after a
// failure, and that reaches the drive too before the earlier index goes.
void ExportWriter::commit() {
  const ExportPaths& paths = plan_.paths;
  writeManifest();
  during(kFlushing, [&] {
    const auto [unitsDone, units] = barUnits();
    progress_.step(kFlushingText, paths.destination(), unitsDone, units);
    destinationVolume_->sync();
    indexVolume_->sync();
    throwIfInterrupted();
  });
  verify();
  if (plan_.staged) swap();
  during(kReplacingIndex, [&] {
    if (plan_.replacesIndex) undo_.rename(paths.index(), paths.index(Waiting::Retired));
    undo_.rename(paths.index(Waiting::Staged), paths.index());
    if (plan_.replacesManifest) undo_.rename(paths.manifest(), paths.manifest(Waiting::Retired));
    undo_.rename(paths.manifest(Waiting::Staged), paths.manifest());
  });
  during(kFlushing, [&] {
    files_.syncDirectory(paths.indexDirectory());
    if (paths.indexDirectory() != paths.destination()) files_.syncDirectory(paths.destination());
  });
}

// Reads back every copy this export wrote from the drive itself, the page
// cache passed by, a few copies at a time, and compares the hash of what it
// reads with the hash of the bytes copied; checks the sampled blocks of
// every copy a refresh kept, since a drive that stores less than it claims
// wraps new writes over what it held before; then reads back the new index
// and manifest. (The sources are not read again: each was hashed as it was
// copied, and a source that changed meanwhile failed its copy.)
void ExportWriter::verify() {
  if (!plan_.request->verify) return;
  during(kVerifying, [&] {
    for (std::size_t first = 0; first < plan_.count();) {
      const bool kept = plan_.copies[first].reused();
      std::size_t end = first + 1;
      if (kept)
        while (end < plan_.count() && end - first < kSamplesPerJob && plan_.copies[end].reused())
          ++end;
      else
        end = jobEnd(first);
      while (!workers_.hasRoom() || workers_.failed()) workers_.takeBackOldest();
      workers_.handIn({first, end}, [this, first, end, kept] {
        for (std::size_t j = first; j < end; ++j) {
          if (kept) {
            checkSample(j);
            continue;
          }
          readBack(plan_.copyPath(j), hashes_[j].hash);
          moved(verified_, j, plan_.copySize(j), true);
        }
      });
      first = end;
    }
    while (workers_.inHand() > 0) workers_.takeBackOldest();
    readBack(plan_.paths.index(Waiting::Staged), indexHash_);
    readBack(plan_.paths.manifest(Waiting::Staged), manifestHash_);
  });
}

// Reads the sampled blocks of kept copy j back from the drive and checks
// that they are what the copy held when it was made.
void ExportWriter::checkSample(std::size_t j) const {
  const std::string copy = plan_.copyPath(j);
  if (sampleOf(files_, copy, plan_.copySize(j), Reading::FromMedium) != hashes_[j].sample)
    throw ReadsBackDifferent(copy);
}

// The hash of the sampled blocks of copy j's source (its archive's ROM's).
std::uint64_t ExportWriter::sourceSample(std::size_t j) const {
  if (const ArchivedRom* rom = plan_.archived(j)) {
    SampleHasher sample(rom->size);
    unpackArchive(files_, plan_.sourcePath(j), *rom,
                  [&](const char* bytes, std::size_t size) { sample.add(bytes, size); });
    return sample.digest();
  }
  return sampleOf(files_, plan_.sourcePath(j), plan_.copySize(j), Reading::Cached).value_or(0);
}

// Reads `path` back from the drive and checks that its bytes hash as what
// was written did.
void ExportWriter::readBack(const std::string& path, const ContentHash& written) const {
  if (hashOf(files_, path, Reading::FromMedium) != written) throw ReadsBackDifferent(path);
}

// The manifest goes beside the layout as the index does: under its staged
// name, to be flushed and read back with the rest and to take its name with
// the index's. It is written a piece at a time, never held whole.
void ExportWriter::writeManifest() {
  during(kWritingManifest, [&] {
    const std::string path = plan_.paths.manifest(Waiting::Staged);
    std::unique_ptr<WritableFile> manifest = undo_.createNew(path);
    Hasher written;
    std::string piece(manifestHeader());
    for (std::size_t j = 0; j <= plan_.count(); ++j) {
      if (j < plan_.count())
        piece += manifestLine(plan_.manifestEntry(j, hashes_[j].hash, hashes_[j].sample));
      if (piece.size() < kManifestPiece && j < plan_.count()) continue;
      written.add(piece.data(), piece.size());
      manifest->print(piece);
      piece.clear();
    }
    manifest->close();
    manifestHash_ = written.digest();
  });
}

// The earlier groups step aside under their retired names and the staged
// ones take the group names; then each group is listed again, since a file
// system may mishandle a directory's rename (the FUSE stand-in for FAT32
// loses its contents). A group that lost copies fails the export, and the
// swap is taken back.
void ExportWriter::swap() {
  during(kSwapping, [&] {
    for (const Rename& rename : plan_.swap()) undo_.rename(rename.from, rename.to);
    for (std::size_t group = 0; group < plan_.groupCount(); ++group) {
      std::vector<std::string> expected, found;
      const std::size_t end = std::min((group + 1) * layout::kGroupSize, plan_.count());
      for (std::size_t j = group * layout::kGroupSize; j < end; ++j)
        expected.push_back(plan_.copyFileName(j));
      for (const DirectoryEntry& entry :
           files_.listDirectory(plan_.finalGroupPath(group), Listing::Types))
        found.push_back(entry.name);
      std::sort(expected.begin(), expected.end());
      if (found != expected)
        throw RunTimeError(ErrorNumber::DeviceIoError, plan_.finalGroupPath(group),
                           "Lost copies when it was renamed into place");
    }
  });
}

// Once the new layout is in place, removes the earlier index and manifest,
// the earlier copies that nothing reused and the retired group directories.
// The export is complete by then, so what cannot be removed is reported,
// not taken back; a later replace clears it.
ExportSummary ExportWriter::retire() {
  ExportSummary summary;
  summary.indexPath = plan_.paths.index();
  summary.files = plan_.count();
  summary.groups = plan_.groupCount();
  summary.bytes = plan_.bytes;
  summary.replaced = plan_.staged;
  summary.reused = plan_.reused;
  summary.spaceUnchecked = plan_.spaceUnchecked;
  summary.notes = plan_.notes;
  const ExportPaths& paths = plan_.paths;
  if (plan_.replacesIndex)
    attempt([&] { files_.removeFile(paths.index(Waiting::Retired)); }, summary.notRemoved);
  if (plan_.replacesManifest)
    attempt([&] { files_.removeFile(paths.manifest(Waiting::Retired)); }, summary.notRemoved);
  for (const RetiredGroup& group : plan_.retired()) {
    bool emptied = true;
    for (const std::string& name : group.copies) {
      const std::string path = paths::join(group.directory, name);
      if (attempt([&] { files_.removeFile(path); }, summary.notRemoved))
        ++summary.removed;
      else
        emptied = false;
    }
    if (emptied) attempt([&] { files_.removeDirectory(group.directory); }, summary.notRemoved);
  }
  attempt([&] { files_.syncDirectory(paths.destination()); }, summary.notRemoved);
  if (paths.indexDirectory() != paths.destination())
    attempt([&] { files_.syncDirectory(paths.indexDirectory()); }, summary.notRemoved);
  return summary;
}

ExportFailure ExportWriter::takeBack(const StepFailure& failed) {
  ExportFailure failure(failed.error, failed.step, /*refused=*/false);
  // Nothing may still be writing while the export is taken back, nor be
  // held open: a FUSE volume keeps an open file it is asked to remove.
  workers_.stop();
  index_.reset();
  directories_.clear();
  progress_.step(kUndoingText, plan_.paths.destination(), 0, 0);
  std::string said = failed.note ? *failed.note : undoEverything();
  if (failed.driveLied) said = kDriveLied;
  if (failure.number() == ErrorNumber::DiskFull)
    for (const std::string& directory : plan_.spaceUnchecked)
      said += "\nThe free space on " + directory +
              " could not be checked before writing: its volume does not tell it.";
  failure.setNote(said);
  progress_.finish();
  return failure;
}

// Takes back what the export made and flushes that too, so that a power cut
// cannot bring it back; says how it went, and what clearing an interrupted
// export's leftovers changed before, which is not taken back.
std::string ExportWriter::undoEverything() {
  std::vector<std::string> left = undo_.undo();
  for (VolumeSync* volume : {destinationVolume_.get(), indexVolume_.get()})
    if (volume) attempt([volume] { volume->sync(); }, left);
  if (left.empty())
    return cleared_.empty() ? kLeftAsItWas
                            : "The destination was left as it was, but for what an interrupted "
                              "export left: " +
                                  clearedText() + ".";
  std::string text = "Not everything this export made could be taken back:";
  for (std::size_t i = 0; i < left.size() && i < 10; ++i) text += "\n" + left[i];
  if (left.size() > 10) text += "\nand " + std::to_string(left.size() - 10) + " more";
  if (!cleared_.empty())
    text += "\nBefore that, of what an interrupted export left, " + clearedText() + ".";
  return text;
}

// "FILES.TXT.simplekavo-old was put back as FILES.TXT, and ROMS1.simplekavo-new
// was removed"
std::string ExportWriter::clearedText() const {
  std::string text;
  if (!cleared_.indexPutBack.empty())
    text = cleared_.indexPutBack + " was put back as " + plan_.paths.index();
  if (!cleared_.removed.empty())
    text += (text.empty() ? "" : ", and ") + listOf(cleared_.removed) +
            (cleared_.removed.size() == 1 ? " was removed" : " were removed");
  return text;
}

}  // namespace kavo
