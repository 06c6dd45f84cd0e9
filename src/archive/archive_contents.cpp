// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "archive/archive_contents.h"

#include <archive_entry.h>

#include <algorithm>

#include "archive/archive_readers.h"
#include "text/ascii_case.h"

namespace kavo {

namespace {}  // namespace

bool mayBeArchive(std::string_view listedName) {
  return endsWithIgnoringCase(listedName, ".zip") || endsWithIgnoringCase(listedName, ".7z") ||
         endsWithIgnoringCase(listedName, ".gz");
}

std::optional<ArchiveFormat> archiveFormatOf(std::string_view firstBytes) {
  if (firstBytes.starts_with("PK\x03\x04") || firstBytes.starts_with("PK\x05\x06"))
    return ArchiveFormat::Zip;
  if (firstBytes.starts_with("7z\xBC\xAF\x27\x1C")) return ArchiveFormat::SevenZip;
  if (firstBytes.starts_with("\x1F\x8B")) return ArchiveFormat::Gzip;
  return std::nullopt;
}

std::string_view lastPartOf(std::string_view name) {
  const std::size_t slash = name.find_last_of("/\\");
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::optional<std::string_view> memberExtension(std::string_view name) {
  const std::string_view base = lastPartOf(name);
  const std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == base.size()) return std::nullopt;
  return base.substr(dot);
}

std::optional<std::string> gzipFileName(const std::optional<std::string>& headerName,
                                        std::string_view listedName) {
  if ((!headerName || !memberExtension(*headerName)) && endsWithIgnoringCase(listedName, ".gz"))
    return std::string(listedName.substr(0, listedName.size() - 3));
  return headerName;
}

bool isBesideRom(std::string_view name) {
  const std::string_view base = lastPartOf(name);
  const std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos) return false;
  for (const std::string_view extension :
       {".txt", ".nfo", ".diz", ".jpg", ".png", ".pdf", ".htm", ".html", ".url"})
    if (equalIgnoringCase(base.substr(dot), extension)) return true;
  return false;
}

bool isLeftByTheSystem(std::string_view name) {
  if (name.starts_with("__MACOSX/")) return true;
  const std::string_view base = lastPartOf(name);
  return equalIgnoringCase(base, ".DS_Store") || equalIgnoringCase(base, "Thumbs.db") ||
         equalIgnoringCase(base, "desktop.ini");
}

bool mayBeRom(std::string_view name, const RomFilter& wanted) {
  const std::string_view base = lastPartOf(name);
  return wanted ? wanted(base) : !isBesideRom(base);
}

std::vector<std::string> archiveFileNames(ReadableFile& file, const std::string& path,
                                          std::string_view listedName, ArchiveFormat format) {
  std::vector<std::string> names;
  if (format == ArchiveFormat::Gzip) {
    GzipReader gzip(file, path);
    if (std::optional<std::string> name = gzipFileName(gzip.headerName(), listedName))
      names.push_back(std::move(*name));
    return names;
  }
  ArchiveReader reader(file, path, format);
  while (archive_entry* entry = reader.next()) {
    if (archive_entry_filetype(entry) == AE_IFDIR) continue;
    std::string name = entryName(entry);
    if (!name.empty() && !isLeftByTheSystem(name)) names.push_back(std::move(name));
  }
  return names;
}

}  // namespace kavo
