#pragma once

#include <string>
#include <vector>

namespace kavo {

// What the window hands to an export.
struct ExportRequest {
  std::string destination;         // the directory open in the destination list
  std::string source;              // the directory open in the source list
  std::vector<std::string> names;  // the source file list's entries, in order
};

}  // namespace kavo
