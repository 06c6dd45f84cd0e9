// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/selection.h"

#include <utility>

#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"

namespace kavo::catalog {

namespace {

// The suffix of the file the report is written to before it takes its name.
constexpr char kWaitingReport[] = ".simplekavo-new";

// The record name of each file the export takes, from the DAT; nothing when
// every one keeps its own.
std::vector<std::string> datRecordNames(const Selection& selection,
                                        const std::vector<std::size_t>& taken) {
  std::vector<std::string> names(taken.size());
  bool any = false;
  for (std::size_t k = 0; k < taken.size(); ++k) {
    const std::optional<std::string> name =
        datRecordName(*selection.dat, selection.identities[taken[k]]);
    // A name the file already has is no change of name.
    if (name && *name != selection.listed[taken[k]]) {
      names[k] = *name;
      any = true;
    }
  }
  if (!any) names.clear();
  return names;
}

}  // namespace

CatalogCounts Selection::counts() const { return countCatalog(*dat, identities); }

std::string Selection::report() const { return catalogReport(*dat, listed, identities); }

Selection select(FileSystem& files, const std::string& source, std::vector<std::string> listed,
                 const SelectionRequest& request, std::optional<Dat> dat) {
  Selection selection;
  selection.listed = std::move(listed);
  selection.dat = std::move(dat);
  if (selection.dat) {
    selection.identities =
        identify(files, source, selection.listed, *selection.dat, request.threads);
  }
  std::vector<std::size_t> taken;
  if (request.onePerGame) {
    selection.choice = selection.dat ? choose(selection.listed, request.order, *selection.dat,
                                              selection.identities)
                                     : choose(selection.listed, request.order);
    taken = selection.choice->kept();
  } else {
    for (std::size_t i = 0; i < selection.listed.size(); ++i) taken.push_back(i);
  }
  selection.names.reserve(taken.size());
  for (std::size_t i : taken) selection.names.push_back(selection.listed[i]);
  if (selection.dat && request.datNames) selection.recordNames = datRecordNames(selection, taken);
  return selection;
}

void checkReportPath(FileSystem& files, const std::string& path, const std::string& source,
                     const std::string& dat) {
  const FileStatus folder = files.status(paths::join(paths::parent(path), "."), Look::Target);
  if (folder.sameFileAs(files.status(paths::join(source, "."), Look::Target)))
    throw RunTimeError(ErrorNumber::PathFileAccessError, path,
                       "Lies in the ROM folder, where it could take a game's place and would be "
                       "listed as a game the next time");
  const FileStatus standing = files.status(path, Look::Target);
  if (standing.type == FileType::Directory)
    throw RunTimeError(ErrorNumber::PathFileAccessError, path, "Is a directory");
  if (!dat.empty() && standing.sameFileAs(files.status(dat, Look::Target)))
    throw RunTimeError(ErrorNumber::PathFileAccessError, path,
                       "Is the DAT the report is made from");
}

void writeReport(FileSystem& files, const std::string& path, const std::string& source,
                 const std::string& text, const std::string& dat) {
  checkReportPath(files, path, source, dat);
  const std::string waiting = path + kWaitingReport;
  try {
    // What an interrupted run left under the waiting name, and only that.
    if (files.status(waiting).type == FileType::Regular) files.removeFile(waiting);
    const std::unique_ptr<WritableFile> file = files.createNew(waiting);
    file->print(text);
    file->close();
    files.rename(waiting, path);
  } catch (const RunTimeError& error) {
    try {
      if (files.status(waiting).type == FileType::Regular) files.removeFile(waiting);
    } catch (const RunTimeError&) {
      // the failure to say is the first one
    }
    throw RunTimeError(error.number(), path, error.reason());
  }
}

}  // namespace kavo::catalog
