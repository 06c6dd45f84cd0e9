// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavo {

// What an export is asked to do.
struct ExportRequest {
  std::string destination;         // the directory the layout goes into
  std::string source;              // the directory the listed files are in
  std::vector<std::string> names;  // the files to export, in list order
  // The full path of the index file, as the user gave it. Its file name is
  // upper-cased, as the emulator looks for it; its directory is kept.
  std::string indexPath;
  // An earlier layout in the destination is replaced rather than refused:
  // the new one is built beside it, reusing the earlier copies that are
  // still right, and swapped in.
  bool replace = false;
  // An earlier copy is still right when its bytes as the drive returns them
  // are the source's, rather than when the manifest says they are.
  bool compareBytes = false;
  // Every copy is read back from the drive and compared with its source
  // before the new layout takes its place.
  bool verify = true;
  // How many copies (and looks at sources) are in flight at once. Creating
  // many small files mostly waits on the file system, not the processor, so
  // a disk gains from several: 4 beat 1, 2 and 8 on thousands of small files
  // on a 2-core machine. With 1, each runs in the caller's thread in list
  // order.
  std::size_t copiesAtOnce = 4;
  // The list's filter ("*.sms; *.gg") as a test of a file name: of the files
  // an archive holds, the one it takes is the ROM (a readme or a cover may
  // lie beside it). Empty when no filter is in force: the ROM is then the
  // one file that is not a text, image or info file. Called from several
  // threads at once.
  std::function<bool(std::string_view name)> wanted = {};
  // The volume (its device number) the destination lay on when the player
  // picked it in a list of drives; nothing when it was not picked so (the
  // command line). A destination on another volume now was left behind by
  // its drive (unplugged or unmounted: its mount point is an empty folder on
  // the computer's own disk) and is refused.
  std::optional<std::uint64_t> pickedOnDevice = {};
  // The destination may be the source folder or lie inside it: the player
  // was asked, or asked for it. Otherwise that is refused, since the layout
  // would be mixed into the collection and listed as games the next time.
  bool intoSource = false;
  // The name the index gives each listed file, when not the one it would
  // have: empty for all their own names, or one a listed file, empty where
  // it keeps its own (an archive's: its ROM's). A name given must end with
  // its copy's extension, the listed name's or, for an archive, its ROM's
  // (case ignored), so that the copy is the same; it is held to the rules of
  // a record's name (see recordNameProblem), and the checks of copy names
  // (FAT, clashes) see it.
  std::vector<std::string> recordNames = {};
};

}  // namespace kavo
