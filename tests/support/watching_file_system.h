// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>

#include "platform/services/forwarding_file_system.h"

namespace kavo::testing {

// Passes every call on to a real file system, and first to `onCall` (on the
// thread that makes it, with the call's path and, for a copy or a rename,
// where it comes from), which may watch, hold or fail it.
class WatchingFileSystem final : public ForwardingFileSystem {
 public:
  using Watch = std::function<void(FileCall, const std::string& path, const std::string& from)>;
  WatchingFileSystem(FileSystem& target, Watch onCall)
      : ForwardingFileSystem(target), onCall_(std::move(onCall)) {}

  // What the volume of any directory is said to have free, when set.
  std::function<void(VolumeFacts&)> adjustVolume;

  VolumeFacts volume(const std::string& directory) override {
    VolumeFacts facts = ForwardingFileSystem::volume(directory);
    if (adjustVolume) adjustVolume(facts);
    return facts;
  }

 protected:
  void passing(FileCall call, const std::string& path, const std::string& from) override {
    if (onCall_) onCall_(call, path, from);
  }

 private:
  Watch onCall_;
};

}  // namespace kavo::testing
