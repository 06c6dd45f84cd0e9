#include "export/rom_set_export.h"

#include <algorithm>
#include <cerrno>

#include "export/rom_layout.h"
#include "platform/run_time_error.h"

namespace kavo {

namespace {

using layout::joinPath;

// Everything that would make the run fail part-way for a reason known in
// advance is refused here, before the index is emptied.
void checkBeforeWriting(const ExportRequest& request, FileSystem& files) {
  // A line break in a name would split its record in two for the emulator.
  for (const std::string& name : request.names) {
    if (name.find_first_of("\r\n") != std::string::npos)
      throw RunTimeError(ErrorNumber::BadFileName,
                         joinPath(request.source, name),
                         "File name contains a line break");
  }
  files.requireDirectory(request.destination);
  for (const std::string& group : layout::groupDirectoryNames(request.names.size())) {
    std::string path = joinPath(request.destination, group);
    if (files.exists(path)) throw errorFromErrno(EEXIST, path, PathRole::Directory);
  }
}

}  // namespace

std::string copyingText(std::size_t number, std::size_t count) {
  return "Copying " + std::to_string(number) + " of " + std::to_string(count);
}

ExportOutcome exportRomSet(const ExportRequest& request, Host& host) {
  SilentProgress silent;
  return exportRomSet(request, host, silent);
}

ExportOutcome exportRomSet(const ExportRequest& request, Host& host,
                           Progress& progress) {
  FileSystem& files = host.files;
  std::string answer = host.dialogs.inputBox(
      kPromptText, kPromptTitle, joinPath(request.destination, kIndexFileName));
  if (answer.empty()) return ExportOutcome::Cancelled;
  const std::string indexPath = layout::indexPathFromAnswer(answer);
  const std::vector<std::string>& names = request.names;
  const std::size_t count = names.size();

  checkBeforeWriting(request, files);
  auto destinationVolume = files.watchVolume(request.destination);

  auto index = files.openForOutput(indexPath);
  auto indexVolume = files.watchVolume(layout::directoryOf(indexPath));

  for (std::size_t group = 0; group < layout::groupCount(count); ++group) {
    const std::string groupPath =
        joinPath(request.destination, layout::groupDirectoryName(group));
    files.makeDirectory(groupPath);
    const std::size_t first = group * layout::kGroupSize;
    const std::size_t end = std::min(first + layout::kGroupSize, count);
    for (std::size_t j = first; j < end; ++j) {
      progress.step(copyingText(j + 1, count), names[j], j, count);
      files.copyFile(joinPath(request.source, names[j]),
                     joinPath(groupPath, layout::copyFileName(names[j], j)));
      index->print(layout::record(names[j], j));
    }
  }
  index->close();

  const std::uint64_t recordBytes = files.fileLength(indexPath);
  auto padding = files.openForAppend(indexPath);
  for (std::size_t k = 0; k < layout::paddingLength(recordBytes); ++k)
    padding->print(" ");
  padding->close();

  // Users pull the drive the moment success is reported, so the copies, the
  // directories and the index reach it first.
  progress.step(kFlushingText, request.destination, count, count);
  progress.wait([&] {
    destinationVolume->sync();
    indexVolume->sync();
  });
  progress.finish();

  host.dialogs.messageBox(kCompletedMessage);
  host.programEnd.end();
  return ExportOutcome::Completed;
}

}  // namespace kavo
