// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/manifest.h"

#include <gtest/gtest.h>

#include <string>

namespace kavo {
namespace {

// What the manifest records reads back as it was written; anything that is
// not wholly a manifest of this program's reads as nothing, however it is
// broken, and a line longer than any this program writes ends the reading.
TEST(Manifest, ReadsBackWhatItRecordsAndNothingElse) {
  const std::vector<ManifestEntry> entries = {
      {"ROMS0/0.SMS",
       131072,
       {0x0123456789abcdefu, 42},
       {131072, 2049, 77, -5, 1'700'000'000, 999'999'999, 7},
       0xfedcba9876543210u,
       "Alex Kidd, in Miracle World.sms",
       {}},
      // an extension with a space, an empty file, an archive's ROM
      {"ROMS0/1.A B", 0, {}, {}, 0, "Set.zip", "Set.a b"},
  };
  const std::string text = manifestText(entries);
  EXPECT_EQ(parseManifest(text), entries);
  EXPECT_EQ(parseManifest(manifestText({})), std::vector<ManifestEntry>{});
  EXPECT_EQ(ContentHash::fromHex(entries[0].hash.hex()), entries[0].hash);

  const std::string line =
      text.substr(text.find('\n') + 1, text.find('\n', text.find('\n') + 1) - text.find('\n'));
  const struct {
    const char* what;
    std::string text;
  } broken[] = {
      {"truncated", text.substr(0, text.size() - 5)},
      {"another program's", "FILES.TXT of another tool\n" + line},
      {"a line too long",
       manifestText({{"ROMS0/0." + std::string(3000, 'X'), 1, {}, {}, 0, "x", {}}})},
      {"a size that is not a number", manifestText({}) + std::string(32, '0') +
                                          " 1x 0 0.000000000 "
                                          "0.000000000 0 0 "
                                          "ROMS0/0.SMS\n"},
      {"a hash that is not one", manifestText({}) + std::string(32, 'g') + line.substr(32)},
      {"a time without its nanoseconds",
       manifestText({}) + std::string(32, '0') + " 1 1 5 5 0 0 ROMS0/0.SMS\n"},
      {"no path", manifestText({}) + line.substr(0, line.find("ROMS0/")) + "\n"},
      {"no listed name", manifestText({}) + line.substr(0, line.find('\t')) + "\n"},
      {"a line of the first version under the second's header",
       manifestText({}) + std::string(32, '0') + " 1 1 5.000000000 5.000000000 0 0 ROMS0/0.SMS\n"},
  };
  for (const auto& b : broken) EXPECT_FALSE(parseManifest(b.text)) << b.what;

  // A manifest of the first version is still read: no sampled blocks, no
  // names.
  const auto first = parseManifest("SimpleKAVO manifest 1\n" + std::string(32, '0') +
                                   " 7 7 5.000000000 6.000000000 1 2 ROMS0/0.A B\n");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->front().copy, "ROMS0/0.A B");
  EXPECT_FALSE(first->front().sample);
  EXPECT_EQ(first->front().listed, "");
}

}  // namespace
}  // namespace kavo
