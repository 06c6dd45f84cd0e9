#include "export/undo_log.h"

#include "platform/run_time_error.h"

namespace kavo {

std::vector<std::string> UndoLog::undo() {
  std::vector<std::string> left;
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
    try {
      switch (change->kind) {
        case Kind::Directory: files_.removeDirectory(change->path); break;
        case Kind::File: files_.removeFile(change->path); break;
        case Kind::Rename: files_.rename(change->renamedTo, change->path); break;
      }
    } catch (const RunTimeError& error) {
      left.push_back(error.path() + " (" + error.reason() + ")");
    }
  }
  changes_.clear();
  return left;
}

}  // namespace kavo
