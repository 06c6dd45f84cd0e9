// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/archive_files.h"

#include <archive.h>
#include <archive_entry.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace kavo::testing {

std::string archiveBytes(const std::string& format, const std::vector<Member>& members) {
  std::string bytes;
  std::unique_ptr<archive, int (*)(archive*)> out(archive_write_new(), archive_write_free);
  archive* a = out.get();
  if (format == "gz") {
    archive_write_set_format_raw(a);
    archive_write_add_filter_gzip(a);
  } else if (format == "7z") {
    archive_write_set_format_7zip(a);
  } else {
    archive_write_set_format_zip(a);
    if (format == "zip-stored") archive_write_set_options(a, "zip:compression=store");
    if (format == "zip-encrypted") {
      archive_write_set_options(a, "zip:encryption=zipcrypt");
      archive_write_set_passphrase(a, "secret");
    }
  }
  const auto append = [](archive*, void* to, const void* data, std::size_t size) -> la_ssize_t {
    static_cast<std::string*>(to)->append(static_cast<const char*>(data), size);
    return static_cast<la_ssize_t>(size);
  };
  // Nothing padded after the data, as libarchive writes a regular file.
  archive_write_set_bytes_in_last_block(a, 1);
  if (archive_write_open(a, &bytes, nullptr, append, nullptr) != ARCHIVE_OK)
    throw std::runtime_error(archive_error_string(a));
  for (const Member& member : members) {
    std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(),
                                                                   archive_entry_free);
    const bool directory = member.name.ends_with('/');
    archive_entry_set_pathname(entry.get(), member.name.c_str());
    archive_entry_set_filetype(entry.get(), directory ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(entry.get(), directory ? 0755 : 0644);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(member.bytes.size()));
    archive_entry_set_mtime(entry.get(), member.modified, 0);
    if (archive_write_header(a, entry.get()) != ARCHIVE_OK ||
        (!member.bytes.empty() &&
         archive_write_data(a, member.bytes.data(), member.bytes.size()) < 0))
      throw std::runtime_error(archive_error_string(a));
  }
  if (archive_write_close(a) != ARCHIVE_OK) throw std::runtime_error(archive_error_string(a));
  return bytes;
}

void writeArchive(const std::string& path, const std::string& format,
                  const std::vector<Member>& members) {
  const std::string bytes = archiveBytes(format, members);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace kavo::testing
