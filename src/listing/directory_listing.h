// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

#include "archive/archive_contents.h"
#include "listing/file_pattern.h"
#include "platform/services/file_system.h"

namespace kavo {

// The names of the regular files in `directory` that match `pattern`, in
// list order (listOrderLess). A symbolic link to a regular file counts;
// directories, dangling links, FIFOs, sockets and devices do not, nor do
// hidden names (starting with "."). Names are the exact bytes on disk. A
// directory that cannot be opened or read throws RunTimeError.
//
// A zipped game is judged by the ROM inside, as the export takes it: a file
// that is an archive (by its name and then its first bytes, see
// archive_contents.h) matches when the pattern matches the name of a file
// it holds that may be its ROM (mayBeRom, the pattern as the filter),
// whatever the archive's own name; one whose contents cannot be read is
// listed, so that the export says what is wrong with it. A file named like
// an archive that is not one is judged by its name. Only the archives'
// headers are read. A pattern that matches every name ("*.*") lists every
// file and looks into none.
std::vector<std::string> listFiles(FileSystem& files, const std::string& directory,
                                   const FilePattern& pattern);

// The names of the subdirectories of `directory` (links to directories
// included, hidden names left out), in list order. Throws RunTimeError as
// listFiles does.
std::vector<std::string> listSubdirectories(FileSystem& files, const std::string& directory);

// The list's pattern as the export's test of which file of an archive is
// its ROM (ExportRequest::wanted), so that the export takes the file the
// list matched: the pattern itself, or nothing when it matches every name
// (with "*.*" a readme beside the ROM would be taken too).
RomFilter romFilterOf(const FilePattern& pattern);

}  // namespace kavo
