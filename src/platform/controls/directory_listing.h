#pragma once

#include <string>
#include <vector>

#include "platform/controls/file_pattern.h"

namespace kavo {

// Orders names without regard to ASCII case and independently of the locale;
// names that differ only in case are ordered by their bytes. The export
// numbers files in this order, so it must be the same on every machine.
bool listOrderLess(const std::string& a, const std::string& b);

// The process's current directory, as the exact bytes of its path.
std::string currentDirectory();

// The names of the regular files in `directory` that match `pattern`, in list
// order. A symbolic link to a regular file counts; directories, dangling
// links, FIFOs, sockets and devices do not, nor do hidden names (starting
// with "."). Names are the exact bytes on disk. A directory that cannot be
// opened or read throws RunTimeError.
std::vector<std::string> listFiles(const std::string& directory, const FilePattern& pattern);

// The names of the subdirectories of `directory` (links to directories
// included, hidden names left out), in list order. Throws RunTimeError as
// listFiles does.
std::vector<std::string> listSubdirectories(const std::string& directory);

}  // namespace kavo
