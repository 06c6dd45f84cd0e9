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

namespace {

// The root a full path starts with, written with the style's separator;
// empty for a relative one. How much of `path` it took goes to `length`.
std::string rootOf(std::string_view path, const Style& style, std::size_t& length) {
  const std::string separator(1, style.separator);
  length = 0;
  if (!style.driveLetters) {
    if (path.starts_with('/')) length = 1;
    return length ? separator : std::string();
  }
  if (path.size() >= 2 && isSeparator(path[0], style) && isSeparator(path[1], style)) {
    // "\\server\share\": the server and the share make the root.
    std::size_t end = 2;
    std::string root = separator + separator;
    for (int name = 0; name < 2 && end < path.size(); ++name) {
      std::size_t next = end;
      while (next < path.size() && !isSeparator(path[next], style)) ++next;
      root.append(path.substr(end, next - end)).append(separator);
      end = std::min(next + 1, path.size());
    }
    length = end;
    return root;
  }
  if (!path.empty() && isSeparator(path[0], style)) {
    length = 1;  // the root of the current drive: the caller knows which
    return {};
  }
  if (path.size() >= 2 && path[1] == ':') {
    length = path.size() >= 3 && isSeparator(path[2], style) ? 3 : 2;
    return std::string(path.substr(0, 2)) + separator;
  }
  return {};
}

void addNames(std::string_view path, std::vector<std::string>& names, const Style& style) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = start;
    while (end < path.size() && !isSeparator(path[end], style)) ++end;
    const std::string_view name = path.substr(start, end - start);
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.emplace_back(name);
    }
    start = end + 1;
  }
}

}  // namespace

Components components(std::string_view path, std::string_view base, const Style& style) {
  Components parts;
  std::size_t taken = 0;
  parts.root = rootOf(path, style, taken);
  if (parts.root.empty()) {
    std::size_t baseTaken = 0;
    parts.root = rootOf(base, style, baseTaken);
    if (parts.root.empty())
      parts.root = std::string(1, style.separator);
    else if (taken == 0)
      addNames(base.substr(baseTaken), parts.names, style);
  }
  addNames(path.substr(taken), parts.names, style);
  return parts;
}

std::string fromComponents(const Components& parts, std::size_t count, const Style& style) {
  std::string path = parts.root;
  for (std::size_t i = 0; i < count && i < parts.names.size(); ++i) {
    if (i > 0) path += style.separator;
    path += parts.names[i];
  }
  return path;
}

bool tooLong(std::string_view path, const Style& style) { return path.size() >= style.longestPath; }

}  // namespace kavo::paths
