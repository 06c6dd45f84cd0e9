// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/temp_directory.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/services/paths.h"

namespace fs = std::filesystem;

namespace kavo::testing {

fs::path hostPath(const std::string& path) {
  return fs::path(std::u8string(path.begin(), path.end()));
}

std::string textOf(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

namespace {

// $TMPDIR or /tmp; on Windows the user's temporary folder.
fs::path temporaryFolder() {
#ifdef _WIN32
  return fs::temp_directory_path();
#else
  const char* base = std::getenv("TMPDIR");
  return fs::path(base && *base ? base : "/tmp");
#endif
}

}  // namespace

TempDirectory::TempDirectory() {
  std::random_device seed;
  std::mt19937 random(seed());
  const fs::path base = temporaryFolder();
  for (int tries = 0; tries < 100; ++tries) {
    std::string name = "kavo-test-";
    for (int i = 0; i < 6; ++i) name += "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
    // Made anew or not at all, as mkdtemp does.
    if (fs::create_directory(base / name)) {
      path_ = paths::withoutTrailingSeparators(textOf((base / name).make_preferred()));
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary directory in " + textOf(base));
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  fs::remove_all(hostPath(path_), ignored);
}

std::string TempDirectory::operator/(std::string_view name) const {
  return paths::join(path_, name);
}

void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(hostPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(hostPath(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void makeDirectories(const std::string& path) { fs::create_directories(hostPath(path)); }

std::map<std::string, std::string> snapshot(const std::string& root) {
  std::map<std::string, std::string> entries;
  const fs::path top = hostPath(root);
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    const std::u8string generic = fs::relative(entry.path(), top).generic_u8string();
    std::string& relative = entries[std::string(generic.begin(), generic.end())];
    if (entry.is_symlink())
      relative = "-> " + textOf(fs::read_symlink(entry.path()));
    else if (entry.is_directory())
      relative = "<dir>";
    else if (entry.is_regular_file())
      relative = readFile(textOf(entry.path()));
    else
      relative = "<special>";
  }
  return entries;
}

}  // namespace kavo::testing
