// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/next_step.h"

#include <algorithm>
#include <string_view>

#include "export/export_checks.h"
#include "export/export_failure.h"
#include "platform/services/paths.h"
#include "text/counts.h"

namespace kavo {

namespace {

// The reasons the checks give for something in the layout's places that
// this program did not make (earlier_layout.cpp, export_plan.cpp).
constexpr std::string_view kNotOurs[] = {
    "Is not a copy of an earlier export",
    "Is not a folder of an earlier export",
    "Is not this program's manifest",
    "Is not what an interrupted export left",
};

// The answers to the prompt that name a folder instead of a file.
bool namesAFolder(const RunTimeError& error, const ExportFailure* failure) {
  if (error.reason() == "Names a folder, not a file") return true;
  return failure && failure->step() == kCheckingIndexPath && error.reason() == "Is a directory";
}

std::string roomToFree(const ExportFailure* failure) {
  if (failure && failure->shortOf() > 0)
    return "Free at least " + byteCount(failure->shortOf()) +
           " on that drive, or export fewer games.";
  return "Free some space on that drive, or export fewer games.";
}

// The index's full path in a folder, written as a player would type it:
// one separator after a drive's root too ("C:\FILES.TXT", "/FILES.TXT").
std::string indexIn(const std::string& folder) {
  const std::string path = paths::withoutTrailingSeparators(folder);
  if (!path.empty() && paths::isSeparator(path.back())) return path + "FILES.TXT";
  return paths::join(path, "FILES.TXT");
}

}  // namespace

std::string nextStep(const RunTimeError& error) {
  const auto* failure = dynamic_cast<const ExportFailure*>(&error);
  const std::string& reason = error.reason();
  if (reason == kReadOnlyVolume) return "Slide the card's lock switch off, or mount it writable.";
  if (std::find(std::begin(kNotOurs), std::end(kNotOurs), reason) != std::end(kNotOurs))
    return "Move or delete it, then export again.";
  if (error.number() == ErrorNumber::DiskFull) return roomToFree(failure);
  if (namesAFolder(error, failure))
    return std::string("Give the full path of the file itself, such as ") + kIndexPathExample +
           "; in this folder, " + indexIn(error.path()) + ".";
  if (reason.starts_with("Not a full path to a file"))
    return "Export again and keep the path proposed, or type a full path of your own.";
  return {};
}

}  // namespace kavo
