// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <map>
#include <string>
#include <string_view>

namespace kavo::testing {

// A fresh directory under $TMPDIR (or /tmp), removed with all it holds when
// the object goes.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::string& path() const { return path_; }
  // The path of an entry inside it.
  std::string operator/(std::string_view name) const;

 private:
  std::string path_;
};

void writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);
void makeDirectories(const std::string& path);

// Everything under root, by path relative to it: a file maps to its bytes,
// a directory to "<dir>", a symbolic link to "-> target". Two snapshots
// compare equal exactly when nothing under root was made, removed or changed.
std::map<std::string, std::string> snapshot(const std::string& root);

}  // namespace kavo::testing
