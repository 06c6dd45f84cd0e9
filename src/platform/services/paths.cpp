// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/paths.h"

#include <algorithm>

namespace kavo::paths {

namespace {

std::size_t lastSeparator(std::string_view path, const Style& style) {
  return style.backslashSeparates ? path.find_last_of("/\\") : path.rfind('/');
}

// How long the root at the start of a path is: "/" and "\", and "C:\".
std::size_t rootLength(std::string_view path, const Style& style) {
  if (!path.empty() && isSeparator(path.front(), style)) return 1;
  if (style.driveLetters && path.size() >= 3 && path[1] == ':' && isSeparator(path[2], style))
    return 3;
  return 0;
}

}  // namespace

bool isSeparator(char c, const Style& style) {
  return c == '/' || (style.backslashSeparates && c == '\\');
}

std::string join(std::string_view directory, std::string_view name, const Style& style) {
  // A path keeps the separator it is written with ("C:/roms" gives
  // "C:/roms/x.sms"), so that it reads as the user wrote it.
  const std::size_t last = lastSeparator(directory, style);
  const char separator = last == std::string_view::npos ? style.separator : directory[last];
  std::string path;
  path.reserve(directory.size() + 1 + name.size());
  path.append(directory).push_back(separator);
  path.append(name);
  return path;
}

std::string parent(std::string_view path, const Style& style) {
  const std::size_t separator = lastSeparator(path, style);
  if (separator == std::string_view::npos) {
    if (style.driveLetters && path.size() >= 2 && path[1] == ':') return std::string(path, 0, 2);
    return ".";
  }
  const std::size_t root = rootLength(path, style);
  if (separator < root) return std::string(path.substr(0, root));
  return std::string(path.substr(0, separator));
}

std::string_view leaf(std::string_view path, const Style& style) {
  const std::size_t separator = lastSeparator(path, style);
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

bool isAbsolute(std::string_view path, const Style& style) {
  if (!style.driveLetters) return path.starts_with('/');
  return rootLength(path, style) == 3 ||
         (path.size() >= 2 && isSeparator(path[0], style) && isSeparator(path[1], style));
}

std::string withoutTrailingSeparators(std::string path, const Style& style) {
  const std::size_t root = rootLength(path, style);
  while (path.size() > std::max<std::size_t>(root, 1) && isSeparator(path.back(), style))
    path.pop_back();
  return path;
}

bool tooLong(std::string_view path, const Style& style) { return path.size() >= style.longestPath; }

}  // namespace kavo::paths
