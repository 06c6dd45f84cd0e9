#pragma once

#include <string>
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
  // An earlier copy is still right when its bytes are the source's, rather
  // than when its size and modification time are.
  bool compareBytes = false;
};

}  // namespace kavo
