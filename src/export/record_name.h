// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavo {

// Why `name` cannot be the name of a record in the index, or nothing when it
// can. Whatever gives the name, a listed file or the file an archive holds,
// it must keep its record one line and its copy's place readable:
// - no line break anywhere: it would split its record in two;
// - no control character (0x00-0x1F, 0x7F) in its extension (from its
//   last dot on; a name without a dot is all extension), which becomes part
//   of the copy's name on the drive and of the copy's place in the index;
// - no comma in its extension: the index puts the copy's place after the
//   record's last comma, and "Game.s,ms" would give "Game.s,ms,ROMS0\12.S,MS".
// The reason completes a sentence about the name: "File name " + reason for
// a listed file, "Holds a file whose name " + reason for an archive.
std::optional<std::string> recordNameProblem(std::string_view name);

}  // namespace kavo
