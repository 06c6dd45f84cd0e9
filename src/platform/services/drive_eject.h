// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace kavo {

// What asking to eject a destination's drive came to.
enum class EjectOutcome {
  Ejected,       // unmounted and powered off (or ejected): it can be unplugged
  Busy,          // a program has a file or folder open on it ("target is busy")
  NotAllowed,    // the system's policy (polkit) refused, or the password was not given
  NotRemovable,  // not on a drive that can be ejected: the system disk, a loop device, a share
  Unavailable,   // nothing on this machine ejects drives (no udisks2): not offered at all
  Failed,        // anything else; `reason` says what the host said
};

struct EjectResult {
  EjectOutcome outcome = EjectOutcome::Failed;
  // Every volume of the drive was unmounted, so it can be unplugged without
  // losing anything. True for Ejected, and for a failure that came only when
  // powering the drive off; false when the failure came at an unmount, and
  // then the destination's volume (unmounted last) is still mounted.
  bool unmounted = false;
  std::string drive;   // as the player knows it ("SanDisk Cruzer Blade"); may be empty
  std::string reason;  // the host's own words, for everything but Ejected

  // What the player reads: what happened and, when it did not work, what to
  // do about it. One or two sentences, no line breaks.
  std::string message() const;
};

// Ejects the drive a destination folder lies on: unmounts its volumes and
// powers it off, so that it can be unplugged. One object may be used for
// several calls, from one thread at a time; each call asks the host afresh,
// since drives come and go.
//
// Nothing may hold the volume open when eject() is called: the export's
// directory claims must have been released (exportRomSet has returned and
// the caller holds no OpenDirectory, file or current directory on it), or
// the volume is busy.
class DriveEjector {
 public:
  virtual ~DriveEjector() = default;

  // Whether `folder` lies on a removable drive that eject() can eject, so
  // that Eject is offered. Changes nothing; false on any doubt.
  virtual bool canEject(const std::string& folder) = 0;

  // Unmounts every volume of the drive `folder` lies on, that of `folder`
  // last, and powers the drive off. Calls nothing that changes anything
  // unless the drive is removable and does not hold the running system.
  virtual EjectResult eject(const std::string& folder) = 0;
};

// How long the host may take to answer before the answer is given up on.
struct EjectTimeouts {
  // Finding the drive: short, since the window asks before it shows its
  // completion box.
  std::chrono::milliseconds lookup{10'000};
  // Each unmount or power-off, which may wait for the drive to flush its
  // cache or for the player to type a password the system asks for.
  std::chrono::milliseconds action{120'000};
};

// The host's ejector: udisks2 on the system bus on Linux, the Plug and Play
// manager on Windows (which keeps its own time limits).
std::unique_ptr<DriveEjector> hostDriveEjector(EjectTimeouts timeouts = {});

}  // namespace kavo
