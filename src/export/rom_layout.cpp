// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/rom_layout.h"

#include "export/windows1252.h"
#include "platform/services/paths.h"

namespace kavo::layout {

std::size_t groupNumberOf(std::size_t listIndex) { return listIndex / kGroupSize; }

std::size_t groupCount(std::size_t listCount) { return listCount / kGroupSize + 1; }

std::string groupDirectoryName(std::size_t groupNumber) {
  return "ROMS" + std::to_string(groupNumber);
}

std::vector<std::string> groupDirectoryNames(std::size_t listCount) {
  std::vector<std::string> names;
  names.reserve(groupCount(listCount));
  for (std::size_t group = 0; group < groupCount(listCount); ++group)
    names.push_back(groupDirectoryName(group));
  return names;
}

std::string_view extensionOf(std::string_view name) {
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(dot);
}

std::string copyFileName(std::string_view name, std::size_t listIndex) {
  return upperCaseAscii(std::to_string(listIndex) + std::string(extensionOf(name)));
}

std::string record(std::string_view name, std::size_t listIndex) {
  // "." is one byte in both encodings and nothing else becomes one, so the
  // converted extension is the extension of the converted name.
  std::string text = toWindows1252(name);
  std::string extension(extensionOf(text));
  text += ',';
  text += groupDirectoryName(groupNumberOf(listIndex));
  text += '\\';
  text += std::to_string(listIndex);
  text += extension;
  text += '\n';
  return text;
}

std::size_t paddingLength(std::uint64_t recordBytes) {
  return 16 - static_cast<std::size_t>(recordBytes % 16);
}

std::string upperCaseAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

std::string indexPathFromAnswer(std::string_view answer) {
  const std::string_view name = paths::leaf(answer);
  return std::string(answer.substr(0, answer.size() - name.size())) + upperCaseAscii(name);
}

std::string layoutPath(std::string_view groupDirectory, std::string_view copyName) {
  std::string path(groupDirectory);
  path += '/';
  path += copyName;
  return path;
}

}  // namespace kavo::layout
