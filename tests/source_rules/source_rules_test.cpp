// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The rules the source tree keeps: each folder of src/ includes only from
// the folders below it, and no function is longer than 60 lines.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "source_rules/source_scan.h"

namespace kavo::source {
namespace {

namespace fs = std::filesystem;

// What each folder of src/ may include besides its own headers: the folders
// below it. "version.h" is the generated version.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"platform/services", {}},
    {"text", {}},
    {"platform/qt", {"platform/services"}},
    // What an archive holds and which of its files may be the ROM: the file
    // list and the export judge a zipped game alike, so the rule lies below
    // them both.
    {"archive", {"platform/services", "text"}},
    {"listing", {"archive", "platform/services"}},
    {"export", {"archive", "platform/services", "text"}},
    {"catalog", {"archive", "export", "platform/services", "text"}},
    {"controls", {"listing", "platform/services"}},
    {"ui",
     {"controls", "listing", "catalog", "export", "archive", "platform/qt", "platform/services",
      "text"}},
    {"app",
     {"ui", "controls", "listing", "catalog", "export", "archive", "platform/qt",
      "platform/services", "text", "version.h"}},
    {"cli", {"catalog", "export", "listing", "archive", "platform/services", "text", "version.h"}},
};

constexpr int kLongestFunction = 60;

// The folder a path under src/ is in: "platform/qt" for
// "platform/qt/qt_dialogs.h", "listing" for "listing/drives.h", the path
// itself for a file at the top.
std::string folderOf(const std::string& path) {
  const std::size_t first = path.find('/');
  if (first == std::string::npos) return path;
  if (path.starts_with("platform/")) return path.substr(0, path.find('/', first + 1));
  return path.substr(0, first);
}

struct SourceFile {
  std::string path;  // under src/, with "/"
  std::string text;
};

std::vector<SourceFile> sourceFiles() {
  std::vector<SourceFile> files;
  const fs::path root = KAVO_SOURCE_DIR;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files.push_back({fs::relative(entry.path(), root).generic_string(),
                     std::string(std::istreambuf_iterator<char>(in), {})});
  }
  return files;
}

TEST(SourceRules, IncludesGoOnlyToTheFoldersBelow) {
  const std::vector<SourceFile> files = sourceFiles();
  ASSERT_GT(files.size(), 50u) << "src/ not found at " << KAVO_SOURCE_DIR;
  for (const SourceFile& file : files) {
    const std::string folder = folderOf(file.path);
    const auto allowed = kMayInclude.find(folder);
    if (allowed == kMayInclude.end()) {
      ADD_FAILURE() << "src/" << file.path << ": src/" << folder
                    << " has no place in the layers; add it to kMayInclude";
      continue;
    }
    for (const std::string& include : quotedIncludes(file.text)) {
      const std::string to = folderOf(include);
      EXPECT_TRUE(to == folder || allowed->second.contains(to))
          << "src/" << file.path << " includes \"" << include << "\": src/" << folder
          << " may not include from src/" << to;
    }
  }
}

TEST(SourceRules, NoFunctionIsLongerThanSixtyLines) {
  for (const SourceFile& file : sourceFiles()) {
    const std::vector<Function> functions = functionsIn(file.text);
    // Every source file defines something; a scan that finds nothing has
    // lost its way.
    if (file.path.ends_with(".cpp")) {
      EXPECT_FALSE(functions.empty()) << "src/" << file.path;
    }
    for (const Function& function : functions)
      EXPECT_LE(function.lines(), kLongestFunction)
          << "src/" << file.path << ":" << function.firstLine << ": " << function.name << " has "
          << function.lines() << " lines";
  }
}

TEST(SourceScan, BlanksCommentsLiteralsAndDirectives) {
  const struct {
    const char* text;
    const char* code;
  } cases[] = {
      {"a; // {x}\nb;", "a;       \nb;"},
      {"a /* { */ b", "a         b"},
      {"f(\"}\\\"{\");", "f(      );"},
      {"c = '{'; d = '\\'';", "c =    ; d =     ;"},
      {"n = 1'000'000; e = u8'x';", "n = 1'000'000; e = u8   ;"},
      {"s = R\"x(\"){\")x\";", "s = R          ;"},
      {"#define OPEN {\\\n  }\nint x;", "               \n   \nint x;"},
      {"  #include \"a.h\"\ny", "                \ny"},
  };
  for (const auto& c : cases) EXPECT_EQ(codeOnly(c.text), c.code) << c.text;
  EXPECT_EQ(quotedIncludes("#include \"a/b.h\"\n#include <vector>\n  #  include \"c.h\"\n"
                           "// #include \"d.h\"\n"),
            (std::vector<std::string>{"a/b.h", "c.h"}));
}

// Each function as "name first-last".
std::vector<std::string> outline(const std::string& text) {
  std::vector<std::string> found;
  for (const Function& f : functionsIn(text))
    found.push_back(f.name + " " + std::to_string(f.firstLine) + "-" + std::to_string(f.lastLine));
  return found;
}

TEST(SourceScan, FindsEachFunctionFromItsNameToItsClosingBrace) {
  const std::string text =
      "namespace kavo {\n"                                        // 1
      "namespace {\n"                                             // 2
      "const int kTable[] = {1, 2};\n"                            // 3
      "struct Row {\n"                                            // 4
      "  int a{};\n"                                              // 5
      "  int get() const { return a; }\n"                         // 6
      "  void copy(int a, const Seen& s = {}) override {\n"       // 7
      "    use(a, s);\n"                                          // 8
      "  }\n"                                                     // 9
      "};\n"                                                      // 10
      "}  // namespace\n"                                         // 11
      "template <typename T>\n"                                   // 12
      "std::string Shown::text(int a,\n"                          // 13
      "                        int b) const {\n"                  // 14
      "  auto f = [&](int x) {\n"                                 // 15
      "    if (x) { return \"}\"; }\n"                            // 16
      "    return std::string(\"{\");\n"                          // 17
      "  };\n"                                                    // 18
      "  struct Local { void g() {} };\n"                         // 19
      "  return f(a) + f(b);\n"                                   // 20
      "}\n"                                                       // 21
      "Shown::Shown(int a) : a_{a}, b_(a), c_{} {\n"              // 22
      "  if (a_ > 0) {\n"                                         // 23
      "  }\n"                                                     // 24
      "}\n"                                                       // 25
      "auto Shown::size() -> std::size_t { return 1; }\n"         // 26
      "Shown::~Shown() = default;\n"                              // 27
      "extern \"C\" int entry(const char* s, std::size_t n) {\n"  // 28
      "  return 0;\n"                                             // 29
      "}\n"                                                       // 30
      "Box::Box(int a)\n"                                         // 31
      "    : source_([this] { return a_; }),\n"                   // 32
      "      b_{[] { return 1; }} {\n"                            // 33
      "  run();\n"                                                // 34
      "}\n"                                                       // 35
      "}  // namespace kavo\n";
  EXPECT_EQ(outline(text), (std::vector<std::string>{"get 6-6", "copy 7-9", "Shown::text 13-21",
                                                     "Shown::Shown 22-25", "Shown::size 26-26",
                                                     "entry 28-30", "Box::Box 31-35"}));
}

}  // namespace
}  // namespace kavo::source
