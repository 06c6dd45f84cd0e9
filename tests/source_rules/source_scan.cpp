// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "source_rules/source_scan.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace kavo::source {

namespace {

bool isWordCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The identifier or number that ends just before `at`.
std::string_view wordBefore(std::string_view text, std::size_t at) {
  std::size_t start = at;
  while (start > 0 && (isWordCharacter(text[start - 1]) || text[start - 1] == '\'')) --start;
  return text.substr(start, at - start);
}

// Whether the quote at `at` is one in a number (1'000).
bool separatesDigits(std::string_view text, std::size_t at) {
  const std::string_view before = wordBefore(text, at);
  return !before.empty() && std::isdigit(static_cast<unsigned char>(before.front()));
}

// Where the literal that opens at `at` ends (one past its closing quote).
std::size_t literalEnd(std::string_view text, std::size_t at) {
  const std::string_view prefix = wordBefore(text, at);
  if (text[at] == '"' && !prefix.empty() && prefix.back() == 'R') {
    const std::size_t open = text.find('(', at);
    const std::string close = ")" + std::string(text.substr(at + 1, open - at - 1)) + "\"";
    const std::size_t end = text.find(close, open);
    return end == text.npos ? text.size() : end + close.size();
  }
  std::size_t end = at + 1;
  while (end < text.size() && text[end] != text[at] && text[end] != '\n')
    end += text[end] == '\\' ? 2 : 1;
  return std::min(end + 1, text.size());
}

// Where the preprocessor line that starts at `at` ends, its continued
// lines included.
std::size_t directiveEnd(std::string_view text, std::size_t at) {
  std::size_t end = text.find('\n', at);
  while (end != text.npos && end > 0 && text[end - 1] == '\\') end = text.find('\n', end + 1);
  return end == text.npos ? text.size() : end;
}

}  // namespace

std::string codeOnly(std::string_view text) {
  std::string code(text);
  auto blank = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < code.size(); ++i)
      if (code[i] != '\n') code[i] = ' ';
  };
  bool lineStart = true;  // nothing but blanks before, on this line
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    std::size_t end = i + 1;
    if (c == '#' && lineStart) {
      end = directiveEnd(text, i);
    } else if (c == '/' && next == '/') {
      end = std::min(text.find('\n', i), text.size());
    } else if (c == '/' && next == '*') {
      end = std::min(text.find("*/", i + 2), text.size() - 2) + 2;
    } else if (c == '"' || (c == '\'' && !separatesDigits(text, i))) {
      end = literalEnd(text, i);
    } else {
      if (c == '\n') lineStart = true;
      if (c != '\n' && c != ' ' && c != '\t') lineStart = false;
      i = end;
      continue;
    }
    blank(i, end);
    lineStart = false;
    i = end;
  }
  return code;
}

std::vector<std::string> quotedIncludes(std::string_view text) {
  static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<std::string> includes;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string line(text.substr(start, end - start));
    if (std::smatch match; std::regex_search(line, match, include)) includes.push_back(match[1]);
    start = end + 1;
  }
  return includes;
}

namespace {

// What a brace opens, in a file's outline.
enum class Block {
  Function,    // a function's body
  InFunction,  // any brace inside one
  Value,       // a value inside a head: a default argument's "{}", a
               // constructor's "a_{a}"
  Other,       // a namespace, a class, an initializer
};

// The head of a block without what may follow a function's parameters.
std::string withoutQualifiers(std::string head) {
  static const std::regex qualifier(
      R"((\s+|&&?)(const|override|final|noexcept|mutable|volatile|try)?\s*$|\s*->[\w:<>,*&\s]*$)");
  for (std::string shorter;; head = shorter) {
    shorter = std::regex_replace(head, qualifier, "", std::regex_constants::format_first_only);
    if (shorter == head) return head;
  }
}

bool startsWithStatement(const std::string& head) {
  static const std::regex statement(R"(^\s*(if|for|while|switch|catch|do|else|return)\b)");
  return std::regex_search(head, statement);
}

// Whether the head holds a constructor's initializer list: "X(int a) : a_".
bool hasInitializerList(const std::string& head) {
  static const std::regex list(R"(\)\s*:[^:])");
  return std::regex_search(head, list);
}

// Whether a brace after `head` opens a function's body: the head has
// parameters, and ends with them (and qualifiers), or with a constructor's
// initializer list.
bool looksLikeFunction(const std::string& head) {
  if (head.find('(') == head.npos || startsWithStatement(head)) return false;
  const std::string bare = withoutQualifiers(head);
  return bare.ends_with(')') || (bare.ends_with('}') && hasInitializerList(bare));
}

// The name before a function's parameters, "lambda" for a lambda's "[]".
std::string nameOf(std::string_view head) {
  std::string_view before = head.substr(0, head.find('('));
  while (!before.empty() && (before.back() == ' ' || before.back() == '\n'))
    before.remove_suffix(1);
  std::size_t start = before.size();
  while (start > 0 && (isWordCharacter(before[start - 1]) || before[start - 1] == ':' ||
                       before[start - 1] == '~'))
    --start;
  return start == before.size() ? "lambda" : std::string(before.substr(start));
}

std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\n");
  if (first == text.npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t\n") - first + 1));
}

}  // namespace

std::vector<Function> functionsIn(std::string_view text) {
  const std::string code = codeOnly(text);
  auto lineOf = [&](std::size_t at) {
    return 1 + static_cast<int>(std::count(code.begin(), code.begin() + at, '\n'));
  };
  std::vector<Block> blocks;
  std::vector<Function> found;
  std::size_t headStart = 0;  // just after the last ; { or } outside a value
  int parentheses = 0;        // open ones, outside functions
  int values = 0;             // open Value blocks
  bool inFunction = false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (!inFunction && (c == '(' || c == ')')) {
      parentheses += c == '(' ? 1 : -1;
    } else if (c == ';') {
      if (values == 0) headStart = i + 1;  // not a lambda's, in a head
    } else if (c == '{') {
      const std::string head = trimmed(std::string_view(code).substr(headStart, i - headStart));
      if (inFunction) {
        blocks.push_back(Block::InFunction);
      } else if (values > 0 || parentheses > 0 ||
                 (hasInitializerList(head) && !head.empty() &&
                  (isWordCharacter(head.back()) || head.back() == '>'))) {
        blocks.push_back(Block::Value);
        ++values;
        continue;  // the head goes on after it
      } else if (looksLikeFunction(head)) {
        blocks.push_back(Block::Function);
        found.push_back({nameOf(head), lineOf(code.find('(', headStart)), 0});
        inFunction = true;
      } else {
        blocks.push_back(Block::Other);
      }
      headStart = i + 1;
    } else if (c == '}' && !blocks.empty()) {
      const Block closed = blocks.back();
      blocks.pop_back();
      if (closed == Block::Value) {
        --values;
        continue;
      }
      if (closed == Block::Function) {
        found.back().lastLine = lineOf(i);
        inFunction = false;
      }
      headStart = i + 1;
    }
  }
  return found;
}

}  // namespace kavo::source
