#include "export/undo_log.h"

#include "platform/services/run_time_error.h"

namespace kavo {

void UndoLog::makingCopy(std::size_t listIndex) {
  if (!changes_.empty()) {
    Change& last = changes_.back();
    if (last.kind == Kind::Copies && last.firstCopy + last.copies == listIndex) {
      ++last.copies;
      return;
    }
  }
  add({Kind::Copies, {}, {}, listIndex, 1});
}

void UndoLog::notMade() {
  Change& last = changes_.back();
  if (last.kind == Kind::Copies && last.copies > 1)
    --last.copies;
  else
    changes_.pop_back();
}

void UndoLog::copiesNotMadeFrom(std::size_t listIndex) {
  std::erase_if(changes_, [&](Change& change) {
    if (change.kind != Kind::Copies || change.firstCopy + change.copies <= listIndex)
      return false;
    change.copies = change.firstCopy < listIndex ? listIndex - change.firstCopy : 0;
    return change.copies == 0;
  });
}

void UndoLog::takeBack(const Change& change, std::vector<std::string>& left) {
  auto attempt = [&](const std::function<void()>& step) {
    try {
      step();
    } catch (const RunTimeError& error) {
      left.push_back(error.path() + " (" + error.reason() + ")");
    }
  };
  switch (change.kind) {
    case Kind::Directory:
      attempt([&] { files_.removeDirectory(change.path); });
      break;
    case Kind::File:
      attempt([&] { files_.removeFile(change.path); });
      break;
    case Kind::Copies:
      for (std::size_t j = change.firstCopy + change.copies; j-- > change.firstCopy;)
        attempt([&] { files_.removeFile(copyPath_(j)); });
      break;
    case Kind::Rename:
      attempt([&] { files_.rename(change.renamedTo, change.path); });
      break;
  }
}

std::vector<std::string> UndoLog::undo() {
  std::vector<std::string> left;
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change)
    takeBack(*change, left);
  changes_.clear();
  return left;
}

}  // namespace kavo
