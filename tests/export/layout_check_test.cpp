// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// --check: the layout read back, the index part of it, nothing read outside
// it, each copy once.
#include "export/layout_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>

#include "export/manifest.h"
#include "export/rom_set_export.h"
#include "platform/services/forwarding_file_system.h"
#include "support/export_fixture.h"
#include "support/memory_file_system.h"

namespace kavo::testing {
namespace {

// Counts what is read from the medium, by path.
class CountingReads final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::map<std::string, int> reads;

 protected:
  void passing(FileCall call, const std::string& path, const std::string&) override {
    std::lock_guard lock(mutex_);
    if (call == FileCall::ReadBack) ++reads[path];
  }

 private:
  std::mutex mutex_;
};

class LayoutCheckTest : public ExportFixture {
 protected:
  LayoutCheckTest() {
    addRoms(games(0, 35));
    exportRomSet(request(games(0, 35)), files);
  }
  LayoutCheck check(FileSystem& through, const std::string& from = {}) {
    SilentProgress quiet;
    return checkLayout(through, {destination, destination + "/FILES.TXT", from, {}}, quiet);
  }
  // The manifest, edited as `how` says.
  void editManifest(const std::function<void(std::string&)>& how) {
    std::string text = readFile(destination + "/" + kManifestName);
    how(text);
    writeFile(destination + "/" + kManifestName, text);
  }
};

// Each case damages the layout and says what --check says of it: a
// difference, or that the layout is not this program's at all.
TEST_F(LayoutCheckTest, FindsWhatIsWrongWithTheLayoutAndItsIndex) {
  const std::string index = destination + "/FILES.TXT";
  const std::string manifest = destination + "/" + kManifestName;
  const struct {
    const char* what;
    std::function<void()> damage;
    std::vector<std::string> differences;
    std::string why;  // not ours: why
  } cases[] = {
      {"nothing", [] {}, {}, ""},
      {"the index removed", [&] { where->removeAll(index); }, {"missing index " + index}, ""},
      {"the index of other games",
       [&] { writeFile(index, "Other.sms,ROMS0\\0.sms\n" + std::string(10, ' ')); },
       {"index differs: " + index},
       ""},
      {"the index with a record's name changed",
       [&] {
         std::string bytes = readFile(index);
         bytes.replace(bytes.find("Game 004"), 8, "Game 404");
         writeFile(index, bytes);
       },
       {"index differs: " + index},
       ""},
      {"a copy changed",
       [&] { writeFile(destination + "/ROMS1/31.SMS", "other"); },
       {"different ROMS1/31.SMS"},
       ""},
      {"a copy added",
       [&] { writeFile(destination + "/ROMS1/40.SMS", "extra"); },
       {"extra ROMS1/40.SMS"},
       ""},
      {"a group that is a link",
       [&] {
         where->removeAll(destination + "/ROMS1");
         where->makeLink(source, destination + "/ROMS1");
       },
       {},
       destination + "/ROMS1: Is not a folder of an earlier export"},
      {"a manifest line leading out of the layout",
       [&] {
         editManifest(
             [](std::string& text) { text.replace(text.find("ROMS0/3.GG"), 10, "ROMS0/../x"); });
       },
       {},
       manifest + " names ROMS0/../x, which is not a copy's place in the layout"},
      {"a manifest line twice",
       [&] {
         editManifest([](std::string& text) {
           const std::size_t start = text.find('\n') + 1;
           text.insert(start, text.substr(start, text.find('\n', start) + 1 - start));
         });
       },
       {},
       manifest + " names ROMS0/0.GG, which is not a copy's place in the layout"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Tree layout = snapshot(destination);
    c.damage();
    CountingReads counting(files);
    const LayoutCheck found = check(counting);
    EXPECT_EQ(found.ours, c.why.empty());
    EXPECT_EQ(found.why, c.why);
    EXPECT_EQ(found.differences, c.differences);
    // Nothing read twice, nothing read outside the destination.
    for (const auto& [path, reads] : counting.reads) {
      EXPECT_EQ(reads, 1) << path;
      EXPECT_TRUE(path.starts_with(destination + "/")) << path;
      EXPECT_EQ(path.find("/.."), std::string::npos) << path;
    }
    where->removeAll(destination);
    makeDirectories(destination);
    for (const auto& [path, bytes] : layout)
      bytes == "<dir>" ? makeDirectories(destination + "/" + path)
                       : writeFile(destination + "/" + path, bytes);
  }
}

// With the ROM folder, the files the manifest names are checked, whatever
// the folder holds besides: a game added since is no difference.
TEST_F(LayoutCheckTest, ChecksAgainstTheFilesTheManifestNames) {
  writeFile(source + "/cover.jpg", "not a game");
  EXPECT_EQ(check(files, source).differences, std::vector<std::string>{});
  writeFile(source + "/Game 002.sms", "changed");
  EXPECT_EQ(check(files, source).differences,
            std::vector<std::string>{"different ROMS0/2.SMS (" + source + "/Game 002.sms)"});
}

}  // namespace
}  // namespace kavo::testing
