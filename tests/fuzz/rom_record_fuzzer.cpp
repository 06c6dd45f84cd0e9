// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds the layout's record, copy-name and padding builders a list index and
// a name of arbitrary bytes, and checks the format the emulator relies on.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "export/rom_layout.h"
#include "export/windows1252.h"
#include "fuzz/fuzz_check.h"

using namespace kavo::layout;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < sizeof(uint32_t)) return 0;
  uint32_t rawIndex;
  std::memcpy(&rawIndex, data, sizeof rawIndex);
  const size_t index = rawIndex;
  const std::string name(reinterpret_cast<const char*>(data) + sizeof rawIndex,
                         size - sizeof rawIndex);
  // The file list never holds these: a file name on disk has no "/" or NUL,
  // and the export refuses names with a line break before it writes.
  if (name.empty() || name.find_first_of(std::string("/\r\n\0", 4)) != std::string::npos) return 0;

  const std::string line = record(name, index);
  const std::string group = "ROMS" + std::to_string(index / 30);
  const std::string head = kavo::toWindows1252(name) + "," + group + "\\" + std::to_string(index);
  // One record, one line feed, at its end.
  FUZZ_CHECK(!line.empty() && line.back() == '\n');
  FUZZ_CHECK(line.find('\n') == line.size() - 1);
  // The name, the group (index / 30), then the index after "\" ...
  FUZZ_CHECK(line.compare(0, head.size(), head) == 0);
  // ... and the extension of the name as the index writes it, to the end.
  const std::string written = kavo::toWindows1252(name);
  FUZZ_CHECK(line.substr(head.size()) == std::string(extensionOf(written)) + "\n");
  FUZZ_CHECK(groupNumberOf(index) == index / 30);
  FUZZ_CHECK(groupDirectoryName(groupNumberOf(index)) == group);

  // The copy's name: the index and the extension, inside its group directory.
  const std::string copy = copyFileName(name, index);
  FUZZ_CHECK(copy == std::to_string(index) + upperCaseAscii(extensionOf(name)));
  FUZZ_CHECK(copy.find('/') == std::string::npos);

  // Padding: 1 to 16 spaces to a multiple of 16, for any length of records.
  const uint64_t length = line.size() * static_cast<uint64_t>(rawIndex % 4096);
  const size_t padding = paddingLength(length);
  FUZZ_CHECK(padding >= 1 && padding <= 16);
  FUZZ_CHECK((length + padding) % 16 == 0);
  return 0;
}
