// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The layout an export leaves under the destination and the bytes of its
// index, FILES.TXT. The emulator reads exactly this, so every function here
// is pure and pinned down byte for byte by tests.
namespace kavo::layout {

// A group directory holds at most this many copies.
inline constexpr std::size_t kGroupSize = 30;

// The list index divided by 30, rounded down.
std::size_t groupNumberOf(std::size_t listIndex);

// How many group directories a list needs: one for every group start
// 0, 30, 60, ... not greater than the count, so a count that is a multiple of
// 30 (0 included) gets a last, empty directory.
std::size_t groupCount(std::size_t listCount);

// "ROMS" followed by the group number in decimal.
std::string groupDirectoryName(std::size_t groupNumber);

// The group directories, in order, that an export of listCount names creates.
std::vector<std::string> groupDirectoryNames(std::size_t listCount);

// The last "." of the name and everything after it, in the name's own case.
// A name without a dot is its own extension.
std::string_view extensionOf(std::string_view name);

// The copy's file name inside its group directory: the list index in decimal
// followed by the extension, with ASCII letters upper-cased.
std::string copyFileName(std::string_view name, std::size_t listIndex);

// One index record: the name, ",", the group directory, "\", the list index
// and the extension in the name's case, then one line feed. Names are
// written in Windows-1252.
std::string record(std::string_view name, std::size_t listIndex);

// How many spaces follow records of this many bytes: 1 to 16, bringing the
// file to a multiple of 16 bytes (16 when it already is one).
std::size_t paddingLength(std::uint64_t recordBytes);

// ASCII letters to upper case; every other byte is kept.
std::string upperCaseAscii(std::string_view text);

// The user's answer as the path of the index: its last component, the file
// name, upper-cased; the directories leading to it kept as typed, since on a
// case-sensitive host upper-casing them would name directories that do not
// exist.
std::string indexPathFromAnswer(std::string_view answer);

// A path inside the layout as the manifest and the messages name it, the
// same on every host: "ROMS3/95.SMS".
std::string layoutPath(std::string_view groupDirectory, std::string_view copyName);

}  // namespace kavo::layout
