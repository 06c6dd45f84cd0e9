// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/drive_eject.h"

namespace kavo {

namespace {

// " (reason)" when the host gave one.
std::string inParentheses(const std::string& reason) {
  return reason.empty() ? std::string() : " (" + reason + ")";
}

}  // namespace

std::string EjectResult::message() const {
  const std::string subject = drive.empty() ? "The drive" : drive;
  switch (outcome) {
    case EjectOutcome::Ejected:
      return subject + " was ejected. You can now unplug it.";
    case EjectOutcome::NotRemovable:
      return "The destination is not on a drive that can be ejected, such as a USB stick or a "
             "memory card" +
             inParentheses(reason) + ", so nothing was ejected.";
    case EjectOutcome::Unavailable:
      return "Drives cannot be ejected from here: this computer has no udisks2 service" +
             inParentheses(reason) +
             ". Eject the drive from your desktop's file manager before unplugging it.";
    default:
      break;
  }
  // Powering off failed after the volumes were unmounted: nothing is lost
  // by unplugging it, which is what the player wanted to know.
  if (unmounted)
    return subject + " was unmounted and can be unplugged safely, but it could not be powered off" +
           inParentheses(reason) + ".";
  switch (outcome) {
    case EjectOutcome::Busy:
      return subject + " is in use and stays mounted" + inParentheses(reason) +
             ". Close the programs that use the drive (a file manager window or a terminal open "
             "in one of its folders), then eject it again.";
    case EjectOutcome::NotAllowed:
      return subject + " stays mounted: this computer did not allow you to eject it" +
             inParentheses(reason) +
             ". Eject it from your desktop's file manager, or ask whoever looks after this "
             "computer.";
    default:
      return subject + " could not be ejected and may still be mounted" + inParentheses(reason) +
             ". Eject it from your desktop's file manager before unplugging it.";
  }
}

}  // namespace kavo
