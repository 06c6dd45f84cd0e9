// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace kavo::testing {

// A fresh directory under $TMPDIR (or /tmp; on Windows the user's
// temporary folder), removed with all it holds when the object goes. Its
// path and those made with `/` are written with the host's separator.
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

// A path of the program's (UTF-8) as the standard library takes it, and
// back: on Windows a std::string would be read in the ANSI code page.
std::filesystem::path hostPath(const std::string& path);
std::string textOf(const std::filesystem::path& path);

void writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);
void makeDirectories(const std::string& path);

// Everything under root, by path relative to it: a file maps to its bytes,
// a directory to "<dir>", a symbolic link to "-> target". Two snapshots
// compare equal exactly when nothing under root was made, removed or changed.
std::map<std::string, std::string> snapshot(const std::string& root);

}  // namespace kavo::testing
