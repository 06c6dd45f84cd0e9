// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Every command example of the README and of the manual pages, run as
// written (through sh, with the built programs first on PATH) against a
// made-up ROM folder in ~/roms and a stick at /media/usb, both in a scratch
// folder: HOME is set to it, and "/media/" in an example and in what it
// shows stands for a folder there. What an example shows must be what it
// prints, the time taken aside; a line "…" stands for any lines.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/archive_files.h"
#include "support/child_process.h"
#include "support/temp_directory.h"

namespace kavo::testing {
namespace {

constexpr char kEllipsis[] = "\u2026";

// A command a document shows, and the lines it shows it printing.
struct Example {
  std::string command;
  std::vector<std::string> shown;
  bool setUp = false;  // makes what later examples use, and shows nothing
};

// The examples of a Markdown text: in each fenced block, every line that
// starts with "$ " is a command, and the lines after it, up to the next
// command or the block's end, what it prints. A block fenced as "shell" is
// a script that makes what the examples after it use (the README's other
// shell blocks build and install, and are not run here).
std::vector<Example> markdownExamples(const std::string& text) {
  std::vector<Example> examples;
  std::istringstream lines(text);
  bool fenced = false, afterCommand = false, script = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("```")) {
      fenced = !fenced;
      afterCommand = false;
      script = fenced && line == "```shell";
      if (script) examples.push_back({"", {}, true});
    } else if (script) {
      examples.back().command += line + "\n";
    } else if (fenced && line.starts_with("$ ")) {
      examples.push_back({line.substr(2), {}});
      afterCommand = true;
    } else if (afterCommand) {
      examples.back().shown.push_back(line);
    }
  }
  return examples;
}

// The commands of a manual page's EXAMPLES section, as man shows them: each
// line that starts with the program's name.
std::vector<Example> manualExamples(const std::string& page, const std::string& program) {
  const ChildResult shown = runChild({"/bin/sh", "-c", "MANWIDTH=500 man -l \"$0\"", page});
  std::vector<Example> examples;
  std::istringstream lines(shown.out);
  bool inExamples = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.front() != ' ') inExamples = line == "EXAMPLES";
    const std::size_t start = line.find_first_not_of(' ');
    if (inExamples && start != std::string::npos &&
        line.compare(start, program.size() + 1, program + " ") == 0)
      examples.push_back({line.substr(start), {}});
  }
  return examples;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// Whether a printed line is one shown: "…" in it takes any text, a time
// taken ("in 0.04 s") any time.
bool lineAsShown(const std::string& printed, const std::string& shown) {
  static const std::regex kTime(R"(in \d+\.\d\d s)");
  const std::string line = std::regex_replace(printed, kTime, "in N s");
  const std::string pattern = std::regex_replace(shown, kTime, "in N s");
  std::size_t at = 0, from = 0;
  for (std::size_t cut; (cut = pattern.find(kEllipsis, from)) != std::string::npos;) {
    const std::string piece = pattern.substr(from, cut - from);
    const std::size_t found =
        from == 0 ? (line.starts_with(piece) ? 0 : std::string::npos) : line.find(piece, at);
    if (found == std::string::npos) return false;
    at = found + piece.size();
    from = cut + std::string(kEllipsis).size();
  }
  const std::string last = pattern.substr(from);
  if (from == 0) return line == last;
  return line.size() >= at + last.size() && line.ends_with(last);
}

// Whether `printed` is what `shown` shows: line by line, a line "…" taking
// any lines.
bool printedAsShown(const std::vector<std::string>& printed, std::size_t p,
                    const std::vector<std::string>& shown, std::size_t s) {
  if (s == shown.size()) return p == printed.size();
  if (shown[s] == kEllipsis) {
    for (std::size_t skip = p; skip <= printed.size(); ++skip)
      if (printedAsShown(printed, skip, shown, s + 1)) return true;
    return false;
  }
  return p < printed.size() && lineAsShown(printed[p], shown[s]) &&
         printedAsShown(printed, p + 1, shown, s + 1);
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.ends_with('\r')) line.pop_back();  // the index and a CSV end lines as Windows does
    lines.push_back(line);
  }
  return lines;
}

class DocExamplesTest : public ::testing::Test {
 protected:
  DocExamplesTest() {
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("PATH", (std::string(KAVO_BUILD_DIR) + ":" + ::getenv("PATH")).c_str(), 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    for (const char* stick : {"media/usb", "media/usb2"}) makeDirectories(scratch / stick);
    makeRoms();
  }

  // A player's ROM folder: 41 games of 61,000 bytes that "*.sms; *.gg"
  // takes, names with accents and commas among them, one zipped with a
  // readme beside the ROM; and a readme, a cover and a save beside them.
  void makeRoms() {
    const std::string roms = home + "/roms";
    makeDirectories(roms);
    const char* titles[] = {
        "Astro Courier",   "Bubble Harbour", "Castle of Glass",   "Deep Valley",  "Emerald Tower",
        "Fox and Lantern", "Glider Patrol",  "Harvest Moonlight", "Iron Orchard", "Jade Comet"};
    for (int i = 0; i < 39; ++i)
      writeFile(roms + "/" + titles[i % 10] + " " + std::to_string(i / 10 + 1) +
                    (i % 3 == 0 ? " (USA, Europe).gg" : " (World).sms"),
                rom(i));
    writeFile(roms + "/Ast\u00e9rix (Europe).sms", rom(39));
    writeArchive(roms + "/Alex Kidd - The Lost Stars (World).zip", "zip",
                 {{"Alex Kidd - The Lost Stars (World).sms", rom(40)},
                  {"readme.txt", "Dumped from my own cartridge.\n"}});
    writeFile(roms + "/README.txt", "My games.\n");
    writeFile(roms + "/cover.jpg", "\xff\xd8\xff\xe0 not much of a picture");
    writeFile(roms + "/Iron Orchard 1 (World).srm", std::string(8192, '\0'));
  }

  static std::string rom(int seed) {
    return std::string(61'000, static_cast<char>('a' + seed % 26));
  }

  // What the README's words before a command ask to be done first.
  void prepare(const std::string& command) {
    if (command.find("# after adding 3 games, removing 1") == std::string::npos) return;
    for (int i = 1; i <= 3; ++i)
      writeFile(home + "/roms/Zebra Run " + std::to_string(i) + " (World).sms", rom(50 + i));
    std::filesystem::remove(home + "/roms/Deep Valley 1 (USA, Europe).gg");
  }

  // Runs an example in the folder the README's made-up set is made in; its
  // output and status.
  ChildResult runExample(const std::string& command) {
    makeDirectories(scratch / "here");
    return runChild({"/bin/sh", "-c",
                     "cd \"$0\" && " + replaced(command, "/media/", scratch / "media/"),
                     scratch / "here"});
  }

  TempDirectory scratch;
  std::string home = scratch / "home";
};

TEST_F(DocExamplesTest, TheReadmesExamplesPrintWhatTheyShow) {
  std::ifstream in(std::string(KAVO_SOURCE_DIR) + "/README.md");
  const std::vector<Example> examples =
      markdownExamples(std::string(std::istreambuf_iterator<char>(in), {}));
  ASSERT_GE(examples.size(), 4u);
  for (const Example& example : examples) {
    SCOPED_TRACE(example.command);
    prepare(example.command);
    const ChildResult result = runExample(example.command);
    if (example.setUp) {
      ASSERT_EQ(result.status, 0) << result.err;
      continue;
    }
    std::vector<std::string> shown;
    for (const std::string& line : example.shown)
      shown.push_back(replaced(line, "/media/", scratch / "media/"));
    const bool failureShown = !shown.empty() && shown.front().starts_with("simplekavo-export: ");
    EXPECT_EQ(result.status != 0, failureShown) << result.err;
    EXPECT_TRUE(printedAsShown(linesOf(result.out + result.err), 0, shown, 0))
        << "printed:\n"
        << result.out << result.err;
  }
}

TEST_F(DocExamplesTest, TheManualPagesExamplesRun) {
  for (const char* program : {"simplekavo-export", "simplekavo"}) {
    const std::string page = std::string(KAVO_BUILD_DIR) + "/dist/" + program + ".1.gz";
    if (!std::filesystem::exists(page)) GTEST_SKIP() << page << " was not made (no help2man)";
    const std::vector<Example> examples = manualExamples(page, program);
    EXPECT_FALSE(examples.empty()) << program;
    for (const Example& example : examples) {
      SCOPED_TRACE(example.command);
      if (std::string(program) == "simplekavo") {
        // The window opens and stays open until it is closed.
        const ChildResult result =
            runExample("QT_QPA_PLATFORM=offscreen timeout 3 " + example.command);
        EXPECT_EQ(result.status, 124) << result.err;
        continue;
      }
      const ChildResult result = runExample(example.command);
      EXPECT_EQ(result.status, 0) << result.out << result.err;
    }
  }
}

}  // namespace
}  // namespace kavo::testing
