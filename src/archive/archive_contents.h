// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services/file_system.h"

namespace kavo {

// The archives a listed file may be: players keep their sets zipped, one
// ROM an archive, often with a readme or a cover beside it.
enum class ArchiveFormat { Zip, SevenZip, Gzip };

// Which of an archive's files may be its ROM, by the file's name (its last
// part, in UTF-8): the list's filter ("*.sms; *.gg"). Empty when no filter is
// in force. Called from several threads at once.
using RomFilter = std::function<bool(std::string_view name)>;

// Whether a listed file is to be looked into: its extension says it may be
// an archive (".zip", ".7z", ".gz", in any case); its first bytes then say
// whether it is one, and which.
bool mayBeArchive(std::string_view listedName);

// The archive a file's first bytes make it, if any.
std::optional<ArchiveFormat> archiveFormatOf(std::string_view firstBytes);

// The last part of a name an archive gives: after its last "/" or "\".
std::string_view lastPartOf(std::string_view name);

// The extension a name an archive gives has: from the last dot of its last
// part, with something after it.
std::optional<std::string_view> memberExtension(std::string_view name);

// The name of a gzip file's one file: as its header names it (`headerName`)
// when that gives an extension (gzip -c names what it read, "rom" as well
// as "Game.sms"), else as the archive less ".gz"; "Game.zip" that is a gzip
// file without such a name in it does not say what it holds, and gets the
// header's name, or nothing.
std::optional<std::string> gzipFileName(const std::optional<std::string>& headerName,
                                        std::string_view listedName);

// Whether an archive's file is one that comes beside a ROM rather than a
// ROM, by its extension (case ignored): a text, image or info file
// (readme.txt, cover.jpg, game.nfo, file_id.diz, manual.pdf, a web page or
// link).
bool isBesideRom(std::string_view name);

// Whether an archive's file is what an operating system leaves in an
// archive made on it, which is no file of the set: a Mac's resource forks
// and folder settings (__MACOSX/, .DS_Store), Windows' thumbnails and
// folder settings (Thumbs.db, desktop.ini).
bool isLeftByTheSystem(std::string_view name);

// Whether an archive's file (not a directory, nor left by the system) may
// be its ROM: the filter `wanted` takes its name, or with no filter it is
// not beside a ROM. An archive holds one ROM, or is refused.
bool mayBeRom(std::string_view name, const RomFilter& wanted);

// The names of the files the archive `path` holds (open as `file`, listed
// as `listedName`, its first bytes making it `format`), in UTF-8 as the
// export reads them, from its headers alone: nothing is unpacked, so this
// is cheap enough for a file list. Directories and what the system leaves
// are not counted. A gzip file holds one file, named as the export names
// it: as its header says when that gives an extension, else as the archive
// less ".gz"; none when neither names it. Throws RunTimeError naming the
// archive when it cannot be read.
std::vector<std::string> archiveFileNames(ReadableFile& file, const std::string& path,
                                          std::string_view listedName, ArchiveFormat format);

}  // namespace kavo
