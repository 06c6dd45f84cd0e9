// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Paths as the host spells them: the one place that knows the separator,
// what a full path looks like and how long one may be. Paths are byte
// strings (UTF-8 where the host's names are text); nothing here touches the
// file system, and nothing is normalised: a directory that already ends with
// a separator gets a second one when joined ("/" + "ROMS0" is "//ROMS0"),
// which every host accepts.
namespace kavo::paths {

// How a host writes paths.
struct Style {
  char separator;           // what join() puts between two names
  bool backslashSeparates;  // "\" separates names too (Windows)
  bool driveLetters;        // "C:\" starts a full path (Windows)
  std::size_t longestPath;  // in bytes, the whole path, its end included
};

inline constexpr Style kPosix{'/', false, false, 4096};
// Long paths ("\\?\" at the seam) may hold 32,767 UTF-16 units; the UTF-8
// bytes of a path may be up to three times as many.
inline constexpr Style kWindows{'\\', true, true, 3 * 32767};
#ifdef _WIN32
inline constexpr Style kHost = kWindows;
#else
inline constexpr Style kHost = kPosix;
#endif

// `directory`, a separator, `name`: the last separator `directory` holds
// ("/" in "C:/roms", "\" in "E:\"), or the host's when it holds none.
std::string join(std::string_view directory, std::string_view name, const Style& style = kHost);

// The directory part of a path: "." when it has none, the root for a name
// right under it ("/", "C:\").
std::string parent(std::string_view path, const Style& style = kHost);

// The last name of a path: what follows its last separator (all of it when
// it has none).
std::string_view leaf(std::string_view path, const Style& style = kHost);

// Whether a path names the same place from any working directory: "/…",
// and on Windows "C:\…" and "\\server\…".
bool isAbsolute(std::string_view path, const Style& style = kHost);

// Whether the character separates names.
bool isSeparator(char c, const Style& style = kHost);

// "dir/" and "dir" name the same directory; the root keeps its separator.
std::string withoutTrailingSeparators(std::string path, const Style& style = kHost);

// A full path as its root and the names below it, as a folder tree shows
// it: the root is "/", or on Windows "C:\" or "\\server\share\" (written
// with the host's separator).
struct Components {
  std::string root;
  std::vector<std::string> names;
};

// `path` taken against the full path `base` when it is not full itself
// ("\roms" against "C:\x" is on C:), with "." and ".." applied as text and
// doubled separators made one; links are kept as they are named.
Components components(std::string_view path, std::string_view base, const Style& style = kHost);

// The root and the first `count` names, with the host's separator between.
std::string fromComponents(const Components& parts, std::size_t count, const Style& style = kHost);

// Whether the path is longer than the host takes.
bool tooLong(std::string_view path, const Style& style = kHost);

}  // namespace kavo::paths
