// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

// A reading of C++ source good enough for the rules the tree keeps (see
// source_rules_test.cpp): what a file includes, and where its functions
// begin and end. It reads the code as clang-format leaves it; it does not
// expand macros.
namespace kavo::source {

// `text` with its comments, string and character literals (raw ones too) and
// preprocessor lines blanked out, every character but a line end made a
// space: the braces and parentheses left are the code's.
std::string codeOnly(std::string_view text);

// What `text` includes in quotes: "listing/drives.h" for
// #include "listing/drives.h".
std::vector<std::string> quotedIncludes(std::string_view text);

struct Function {
  std::string name;  // as defined: "PosixFileSystem::copyInto"
  int firstLine;     // the line of its name
  int lastLine;      // the line of its closing brace
  int lines() const { return lastLine - firstLine + 1; }
};

// The functions whose bodies `text` holds, in order: free functions, member
// functions inside a class and out of it, constructors. A lambda or a local
// class is part of the function around it.
std::vector<Function> functionsIn(std::string_view text);

}  // namespace kavo::source
