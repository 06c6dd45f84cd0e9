// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/archive_files.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <fstream>
#include <memory>
#include <stdexcept>

#include "platform/services/utf8_locale.h"
#include "text/utf8.h"

namespace kavo::testing {

namespace {

// One gzip member holding `member`'s bytes, its name in the header when
// `named`.
std::string gzipMember(const Member& member, bool named) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  gz_header header{};
  header.time = static_cast<uLong>(member.modified);
  header.os = 3;  // Unix
  std::string name = member.name;
  if (named) header.name = reinterpret_cast<Bytef*>(name.data());
  deflateSetHeader(&stream, &header);
  std::string out(deflateBound(&stream, member.bytes.size()) + name.size() + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(member.bytes.data()));
  stream.avail_in = static_cast<uInt>(member.bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

}  // namespace

std::string archiveBytes(const std::string& format, const std::vector<Member>& members) {
  std::string bytes;
  if (format.starts_with("gz")) {
    for (const Member& member : members) bytes += gzipMember(member, format == "gz-named");
    return bytes;
  }
  // libarchive converts names through the thread's locale.
  const Utf8ThreadLocale utf8;
  std::unique_ptr<archive, int (*)(archive*)> out(archive_write_new(), archive_write_free);
  archive* a = out.get();
  if (format == "7z") {
    archive_write_set_format_7zip(a);
  } else {
    archive_write_set_format_zip(a);
    if (format == "zip-stored") archive_write_set_options(a, "zip:compression=store");
    if (format == "zip-utf8") archive_write_set_options(a, "zip:hdrcharset=UTF-8");
    if (format == "zip-cp437") archive_write_set_options(a, "zip:hdrcharset=CP437");
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
#ifdef _WIN32
    // libarchive on Windows takes names whole only as wide text.
    archive_entry_copy_pathname_w(entry.get(), utf8::toWide(member.name).c_str());
#else
    archive_entry_set_pathname_utf8(entry.get(), member.name.c_str());
#endif
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
