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
};

}  // namespace kavo
