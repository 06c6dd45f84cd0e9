// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/paths.h"

#include <gtest/gtest.h>

namespace kavo::paths {
namespace {

// Each host's rules, whichever host runs the test: a Windows path is split
// and joined the same here as on Windows.
TEST(Paths, SplitAndJoinAsEachHostDoes) {
  struct Case {
    const Style& style;
    std::string path, parent, leaf;
    bool absolute;
  } cases[] = {
      {kPosix, "/media/ana/usb/FILES.TXT", "/media/ana/usb", "FILES.TXT", true},
      {kPosix, "/FILES.TXT", "/", "FILES.TXT", true},
      {kPosix, "//FILES.TXT", "/", "FILES.TXT", true},
      {kPosix, "FILES.TXT", ".", "FILES.TXT", false},
      {kPosix, "usb/FILES.TXT", "usb", "FILES.TXT", false},
      {kPosix, "C:\\FILES.TXT", ".", "C:\\FILES.TXT", false},  // a name like any other
      {kPosix, "/out/", "/out", "", true},
      {kWindows, "E:\\FILES.TXT", "E:\\", "FILES.TXT", true},
      {kWindows, "E:\\\\FILES.TXT", "E:\\", "FILES.TXT", true},
      {kWindows, "E:\\roms\\Sonic.sms", "E:\\roms", "Sonic.sms", true},
      {kWindows, "E:/roms/Sonic.sms", "E:/roms", "Sonic.sms", true},
      {kWindows, "\\\\nas\\share\\x.sms", "\\\\nas\\share", "x.sms", true},
      {kWindows, "E:FILES.TXT", "E:", "E:FILES.TXT", false},
      {kWindows, "\\FILES.TXT", "\\", "FILES.TXT", false},
      {kWindows, "roms\\x.gg", "roms", "x.gg", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parent(c.path, c.style), c.parent) << c.path;
    EXPECT_EQ(leaf(c.path, c.style), c.leaf) << c.path;
    EXPECT_EQ(isAbsolute(c.path, c.style), c.absolute) << c.path;
  }
}

TEST(Paths, JoinIsPlainConcatenationWithOneSeparator) {
  EXPECT_EQ(join("/media/ana/usb", "FILES.TXT", kPosix), "/media/ana/usb/FILES.TXT");
  EXPECT_EQ(join("/", "FILES.TXT", kPosix), "//FILES.TXT");
  EXPECT_EQ(join("E:\\", "FILES.TXT", kWindows), "E:\\\\FILES.TXT");
  EXPECT_EQ(join("E:\\out", "ROMS0", kWindows), "E:\\out\\ROMS0");
  EXPECT_EQ(join("C:/roms", "x.sms", kWindows), "C:/roms/x.sms");  // as the user wrote it
  EXPECT_EQ(join("C:\\memory/usb", "ROMS0", kWindows), "C:\\memory/usb/ROMS0");
  EXPECT_EQ(join("E:", "FILES.TXT", kWindows), "E:\\FILES.TXT");
  EXPECT_EQ(withoutTrailingSeparators("/out//", kPosix), "/out");
  EXPECT_EQ(withoutTrailingSeparators("/", kPosix), "/");
  EXPECT_EQ(withoutTrailingSeparators("E:\\", kWindows), "E:\\");
  EXPECT_EQ(withoutTrailingSeparators("E:\\out\\/", kWindows), "E:\\out");
  EXPECT_FALSE(tooLong(std::string(4095, 'a'), kPosix));
  EXPECT_TRUE(tooLong(std::string(4096, 'a'), kPosix));
}

// A folder tree's view of a path: its root, then the names below it, a
// relative path taken against a base, on each host.
TEST(Paths, ComponentsAreTheRootAndTheNamesBelowIt) {
  const struct {
    const Style& style;
    std::string path, base, root;
    std::vector<std::string> names;
    std::string rejoined;
  } cases[] = {
      {kPosix, "/home/ana/roms", "/", "/", {"home", "ana", "roms"}, "/home/ana/roms"},
      {kPosix, "//home/./ana//../roms/", "/", "/", {"home", "roms"}, "/home/roms"},
      {kPosix, "/", "/x", "/", {}, "/"},
      {kPosix, "../more", "/roms/sms", "/", {"roms", "more"}, "/roms/more"},
      {kPosix, "C:\\roms", "/x", "/", {"x", "C:\\roms"}, "/x/C:\\roms"},
      {kWindows, "Z:\\tmp\\roms", "C:\\", "Z:\\", {"tmp", "roms"}, "Z:\\tmp\\roms"},
      {kWindows, "e:/roms//sms/..", "C:\\", "e:\\", {"roms"}, "e:\\roms"},
      {kWindows, "E:\\", "C:\\x", "E:\\", {}, "E:\\"},
      {kWindows, "E:", "C:\\x", "E:\\", {}, "E:\\"},
      {kWindows,
       "\\\\nas\\share\\roms",
       "C:\\",
       "\\\\nas\\share\\",
       {"roms"},
       "\\\\nas\\share\\roms"},
      {kWindows, "\\roms", "D:\\games\\x", "D:\\", {"roms"}, "D:\\roms"},
      {kWindows, "..\\y", "D:\\games\\x", "D:\\", {"games", "y"}, "D:\\games\\y"},
      {kWindows, "..", "D:\\", "D:\\", {}, "D:\\"},
  };
  for (const auto& c : cases) {
    const Components parts = components(c.path, c.base, c.style);
    EXPECT_EQ(parts.root, c.root) << c.path;
    EXPECT_EQ(parts.names, c.names) << c.path;
    EXPECT_EQ(fromComponents(parts, parts.names.size(), c.style), c.rejoined) << c.path;
    EXPECT_EQ(fromComponents(parts, 0, c.style), c.root) << c.path;
  }
}

}  // namespace
}  // namespace kavo::paths
