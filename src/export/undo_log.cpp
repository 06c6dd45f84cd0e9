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

void UndoLog::copiesNotMade(std::size_t first, std::size_t end) {
  if (first >= end) return;
  for (auto change = changes_.begin(); change != changes_.end(); ++change) {
    if (change->kind != Kind::Copies) continue;
    const std::size_t runEnd = change->firstCopy + change->copies;
    if (runEnd <= first || change->firstCopy >= end) continue;
    // What stays of the run: the part before `first` and the part from `end`.
    Change after = *change;
    after.firstCopy = end;
    after.copies = runEnd > end ? runEnd - end : 0;
    change->copies = change->firstCopy < first ? first - change->firstCopy : 0;
    if (after.copies > 0) change = changes_.insert(change + 1, after);
  }
  std::erase_if(changes_, [](const Change& change) {
    return change.kind == Kind::Copies && change.copies == 0;
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
