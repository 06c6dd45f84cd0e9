// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kavo {

// What an export calls what it makes beside the layout while it works: the
// new one, built under a staged name ("ROMS3.simplekavo-new",
// "FILES.TXT.simplekavo-new"), and the earlier one, waiting under a retired
// name until the new one is in place ("ROMS3.simplekavo-old",
// "FILES.TXT.simplekavo-old"). The names say whose they are, so that what
// an interrupted export leaves is recognised.
enum class Waiting { Staged, Retired };

// The one function that makes such a name.
std::string waitingName(std::string_view name, Waiting which);

// The name a waiting name of that kind stands for ("ROMS3.simplekavo-new"
// gives "ROMS3"); nothing when it is not one.
std::optional<std::string_view> nameWaitingAs(std::string_view name, Waiting which);

// Every path an export makes under its destination and beside its index.
class ExportPaths {
 public:
  // `indexPath` as it will be written: its file name already upper-cased.
  ExportPaths(std::string destination, std::string indexPath);

  const std::string& destination() const { return destination_; }

  // "D/ROMS3", or under its waiting name.
  std::string group(std::size_t number) const;
  std::string group(std::size_t number, Waiting which) const;

  // Copy `listIndex` of the listed `name`, in the group directory
  // `groupDirectory`.
  static std::string copy(const std::string& groupDirectory, std::string_view name,
                          std::size_t listIndex);

  // The manifest (see manifest.h), and under its waiting names.
  std::string manifest() const;
  std::string manifest(Waiting which) const { return waitingName(manifest(), which); }

  const std::string& index() const { return index_; }
  const std::string& indexDirectory() const { return indexDirectory_; }
  // The new index while the records are written, and an earlier one while
  // the new one takes its place.
  std::string index(Waiting which) const { return waitingName(index_, which); }

 private:
  std::string destination_;
  std::string index_;
  std::string indexDirectory_;
};

// Refuses a path whose last name is longer than the volume's `nameLimit`, or
// that is longer than the host takes as a whole: "File name too long".
void requireFits(const std::string& path, std::size_t nameLimit);

}  // namespace kavo
