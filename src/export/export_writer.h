// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "export/copy_workers.h"
#include "export/export_failure.h"
#include "export/export_plan.h"
#include "export/export_summary.h"
#include "export/manifest.h"
#include "export/undo_log.h"
#include "platform/services/file_system.h"
#include "platform/services/progress.h"

namespace kavo {

// Carries out an export's plan in four phases:
// - prepare: take back what an interrupted export left (a replace), start
//   watching the volumes, create the new index beside the index;
// - copy: take the plan's steps in order: make each group's directory, move
//   the reused earlier copies into it, hand the rest to the workers as jobs;
//   once every copy is complete, write the index;
// - commit: flush the copies, the directories and the new index to the
//   drive, read every copy and the index back from the drive and compare
//   them with what was meant (unless the request says not to), write the
//   manifest, swap a replace's staged groups in and check them, let the new
//   index and manifest take their names, and flush that too;
// - retire: remove the earlier index and manifest, and what a replace left
//   of the earlier layout.
// Every change up to the commit's end is made through the undo log, so that
// a failure in any phase, an interruption included, takes back exactly what
// this export made and throws ExportFailure naming the phase's step. What
// retire cannot remove is named in the summary instead: the new layout is
// complete by then.
// A step that failed, and what to say of it (export_writer.cpp).
struct StepFailure;

// The hashes of a copy's bytes and of its sampled blocks (see sampleRanges).
struct CopyHashes {
  ContentHash hash;
  std::uint64_t sample = 0;
};

class ExportWriter {
 public:
  ExportWriter(const ExportPlan& plan, FileSystem& files, Progress& progress);

  ExportSummary run();

 private:
  // What clearing an interrupted export's leftovers changed, for the
  // message after a later failure.
  struct Cleared {
    std::string indexPutBack;  // the index's waiting name, once it is back
    std::vector<std::string> removed;
    bool empty() const { return indexPutBack.empty() && removed.empty(); }
  };
  // How far the copying, or the reading back, has come, and the copy it
  // finished last (kNone before the first).
  struct Phase {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::atomic<std::size_t> copies = 0;
    std::atomic<std::uint64_t> bytes = 0;
    std::atomic<std::size_t> last = kNone;
  };

  void prepare();
  void clearLeftovers();
  void copy();
  void handInSteps();
  std::size_t jobEnd(std::size_t first) const;
  void handIn(std::size_t first, std::size_t end);
  void unpack(std::size_t listIndex, const ArchivedRom& rom, const OpenDirectory& directory,
              const std::string& name, const FileSystem::Seen& seen);
  void moved(Phase& phase, std::size_t listIndex, std::uint64_t bytes, bool finished);
  std::pair<std::size_t, std::size_t> barUnits() const;
  void commit();
  void verify();
  void checkSample(std::size_t listIndex) const;
  std::uint64_t sourceSample(std::size_t listIndex) const;
  void readBack(const std::string& path, const ContentHash& written) const;
  void writeManifest();
  void swap();
  ExportSummary retire();

  ExportFailure takeBack(const StepFailure& failed);
  std::string undoEverything();
  std::string clearedText() const;

  const ExportPlan& plan_;
  FileSystem& files_;
  Progress& progress_;
  UndoLog undo_;
  Cleared cleared_;
  std::unique_ptr<VolumeSync> destinationVolume_, indexVolume_;
  std::unique_ptr<WritableFile> index_;
  // Each group's directory, opened once it is made, for the workers to make
  // copies in.
  std::vector<std::unique_ptr<OpenDirectory>> directories_;
  // The hash of each copy's bytes and of its sampled blocks: a reused copy's
  // from the plan, the others' as they are copied.
  std::vector<CopyHashes> hashes_;
  ContentHash indexHash_, manifestHash_;  // of what was written
  Phase copied_, verified_;
  std::atomic<std::int64_t> lastShown_ = 0;  // when progress was last shown
  // Last, so that it goes first: nothing may still run when what the jobs
  // use goes.
  CopyWorkers workers_;
};

}  // namespace kavo
