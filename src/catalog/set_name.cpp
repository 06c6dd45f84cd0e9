// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/set_name.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace kavo::catalog {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }
char lower(char c) { return isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '_')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '_')) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(trimmed(text.substr(0, at)));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

// Numbers separated by dots ("1", "1.10"), at most three of them; a
// trailing lower-case letter ("1.1a") counts as a fourth (a is 1).
std::optional<ReleaseNumber> numbersIn(std::string_view text) {
  ReleaseNumber number;
  if (!text.empty() && isLower(text.back()) && text.size() > 1 && isDigit(text[text.size() - 2])) {
    number.parts[3] = static_cast<std::uint32_t>(text.back() - 'a' + 1);
    text.remove_suffix(1);
  }
  std::size_t index = 0;
  for (std::string_view part : split(text, '.')) {
    if (part.empty() || part.size() > 9 || index >= 3 ||
        !std::all_of(part.begin(), part.end(), isDigit))
      return std::nullopt;
    std::uint32_t value = 0;
    for (char c : part) value = value * 10 + static_cast<std::uint32_t>(c - '0');
    number.parts[index++] = value;
  }
  number.count = static_cast<std::uint8_t>(index);
  return number;
}

// "v1.1", "V2", "v1.02a"
std::optional<ReleaseNumber> versionWord(std::string_view word) {
  if (word.size() < 2 || (word[0] != 'v' && word[0] != 'V') || !isDigit(word[1]))
    return std::nullopt;
  return numbersIn(word.substr(1));
}

// "Rev 1", "Rev 1.1", "Rev A"
std::optional<ReleaseNumber> revisionTag(std::string_view tag) {
  if (tag.size() < 5 || !sameIgnoringCase(tag.substr(0, 4), "rev ")) return std::nullopt;
  const std::string_view which = trimmed(tag.substr(4));
  if (which.size() == 1 && isUpper(which[0])) {
    ReleaseNumber number;
    number.parts[0] = static_cast<std::uint32_t>(which[0] - 'A' + 1);
    number.count = 1;
    return number;
  }
  return numbersIn(which);
}

// Regions: "USA, Europe" (No-Intro), "US-EU" (TOSEC), "JU" and "JUE"
// (GoodTools' letters run together). Every part must be a region.
std::optional<std::vector<Region>> regionsTag(std::string_view tag) {
  for (char separator : {',', '-'}) {
    std::vector<Region> regions;
    for (std::string_view part : split(tag, separator)) {
      const std::optional<Region> region = regionInName(part);
      if (!region) {
        regions.clear();
        break;
      }
      if (std::find(regions.begin(), regions.end(), *region) == regions.end())
        regions.push_back(*region);
    }
    if (!regions.empty()) return regions;
  }
  if (tag.size() >= 2 && tag.size() <= 3 &&
      tag.find_first_not_of("JUE") == std::string_view::npos) {
    std::vector<Region> regions;
    for (char letter : tag) {
      const Region region = *regionInName(std::string_view(&letter, 1));
      if (std::find(regions.begin(), regions.end(), region) != regions.end()) return std::nullopt;
      regions.push_back(region);
    }
    return regions;
  }
  return std::nullopt;
}

// Two-letter language codes, as No-Intro ("En", "Zh-Hant") and TOSEC ("en")
// write them.
bool isLanguage(std::string_view code) {
  static constexpr std::string_view kLanguages[] = {
      "ar", "bg", "ca", "cs", "da", "de", "el", "en", "es", "et", "eu", "fi", "fr", "ga",
      "gl", "he", "hi", "hr", "hu", "id", "is", "it", "ja", "ko", "lt", "lv", "ms", "nl",
      "no", "pl", "pt", "ro", "ru", "sk", "sl", "sr", "sv", "th", "tr", "uk", "vi", "zh"};
  if (code.size() > 2 && code[2] == '-' && code.size() > 4 && isUpper(code[3]) &&
      std::all_of(code.begin() + 4, code.end(), isLower))
    code = code.substr(0, 2);  // a script: "Zh-Hant"
  if (code.size() != 2 || !isLower(code[1]) || !(isLower(code[0]) || isUpper(code[0])))
    return false;
  const std::string lowered{lower(code[0]), code[1]};
  return std::find(std::begin(kLanguages), std::end(kLanguages), lowered) != std::end(kLanguages);
}

bool languagesTag(std::string_view tag) {
  for (char separator : {',', '-'}) {
    const std::vector<std::string_view> parts = split(tag, separator);
    if (std::all_of(parts.begin(), parts.end(), isLanguage)) return true;
  }
  return false;
}

// "Beta", "Beta 2", "Proto 1", "Unl": a kind by its first word, and its
// stage by the number after it, if any ("Beta 2 (Sega)" is still a beta).
bool kindTag(std::string_view tag, SetName& name) {
  static constexpr std::pair<std::string_view, Kind> kKinds[] = {
      {"Beta", kBeta},     {"Proto", kProto},    {"Prototype", kProto},       {"Demo", kDemo},
      {"Sample", kSample}, {"Unl", kUnlicensed}, {"Unlicensed", kUnlicensed}, {"Pirate", kPirate},
      {"Hack", kHack}};
  const std::size_t space = tag.find(' ');
  const std::string_view word = tag.substr(0, space);
  for (const auto& [known, kind] : kKinds) {
    if (!sameIgnoringCase(word, known)) continue;
    name.kinds |= kind;
    std::uint32_t stage = 0;
    if (space != std::string_view::npos)
      for (std::size_t at = space + 1; at < tag.size() && isDigit(tag[at]) && stage < 100'000'000;
           ++at)
        stage = stage * 10 + static_cast<std::uint32_t>(tag[at] - '0');
    name.stage = std::max(name.stage, stage);
    return true;
  }
  return false;
}

// "Disc 1", "Disk 2 of 3", "Side B", "Tape 1", "Part 2"
bool partTag(std::string_view tag) {
  for (std::string_view word : {"Disc ", "Disk ", "Side ", "Tape ", "Part "})
    if (tag.size() > word.size() && sameIgnoringCase(tag.substr(0, word.size()), word)) return true;
  return false;
}

void addVersionText(SetName& name, std::string_view text) {
  if (!name.versionText.empty()) name.versionText += ", ";
  name.versionText += text;
}

void takeParenthesised(std::string_view tag, SetName& name) {
  const std::string_view inside = trimmed(tag);
  if (auto regions = regionsTag(inside)) {
    for (Region region : *regions)
      if (std::find(name.regions.begin(), name.regions.end(), region) == name.regions.end())
        name.regions.push_back(region);
  } else if (languagesTag(inside)) {
    name.languages = inside;
  } else if (auto revision = revisionTag(inside)) {
    name.revision = std::max(name.revision, *revision);
    addVersionText(name, inside);
  } else if (auto version = versionWord(inside)) {
    name.version = std::max(name.version, *version);
    addVersionText(name, inside);
  } else if (kindTag(inside, name)) {
  } else if (partTag(inside) && name.part.empty()) {
    name.part = inside;
  } else {
    name.otherTags.push_back("(" + std::string(tag) + ")");
  }
}

// GoodTools' and TOSEC's flags: the code letters, then a number or more
// ("b1", "h2C", "t+1", "T+Eng").
void takeBracketed(std::string_view flag, SetName& name) {
  if (flag == "!") {
    name.verified = true;
    return;
  }
  if (flag.size() >= 2 && flag[0] == 'T' && (flag[1] == '+' || flag[1] == '-')) {
    name.kinds |= kHack;  // a translation
    ++name.flags;
    return;
  }
  std::size_t letters = 0;
  while (letters < flag.size() && isLower(flag[letters])) ++letters;
  const std::string_view code = flag.substr(0, letters);
  const std::string_view rest = flag.substr(letters);
  const bool plainRest = rest.empty() || isDigit(rest[0]) || rest[0] == '+' || rest[0] == ' ';
  static constexpr std::string_view kAlterations[] = {"a", "o", "f", "cr", "m", "x", "u"};
  if (plainRest && !code.empty()) {
    if (code == "b") {
      name.badDump = true;
    } else if (code == "h" || code == "t") {
      name.kinds |= kHack;
    } else if (code == "p") {
      name.kinds |= kPirate;
    } else if (std::find(std::begin(kAlterations), std::end(kAlterations), code) ==
               std::end(kAlterations)) {
      name.otherTags.push_back("[" + std::string(flag) + "]");
      return;
    }
    ++name.flags;
    return;
  }
  name.otherTags.push_back("[" + std::string(flag) + "]");
}

}  // namespace

std::string_view stemOf(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return fileName;
  // "Dr. Robotnik's Mean Bean Machine (USA)" has no extension: one holds no
  // blank or bracket.
  if (fileName.find_first_of(" ()[]", dot) != std::string_view::npos) return fileName;
  const std::string_view stem = fileName.substr(0, dot);
  // A gzipped ROM keeps the ROM's extension before its own: "Game.sms.gz".
  if (sameIgnoringCase(fileName.substr(dot), ".gz")) return stemOf(stem);
  return stem;
}

SetName parseSetName(std::string_view stem) {
  SetName name;
  std::string_view rest = stem;
  std::string_view title;
  bool titleTaken = false;
  while (!rest.empty()) {
    const char open = rest.front();
    if (open == '(' || open == '[') {
      const char close = open == '(' ? ')' : ']';
      const std::size_t end = rest.find(close);
      if (end == std::string_view::npos) {  // unclosed: kept as it is
        name.otherTags.emplace_back(trimmed(rest));
        break;
      }
      const std::string_view inside = rest.substr(1, end - 1);
      if (open == '(')
        takeParenthesised(inside, name);
      else
        takeBracketed(inside, name);
      rest.remove_prefix(end + 1);
      continue;
    }
    // The first words are the title, also after leading tags ("[BIOS] Sega
    // Master System"); words between later tags are kept as they are.
    const std::size_t next = rest.find_first_of("([");
    const std::string_view text = trimmed(rest.substr(0, next));
    if (!text.empty()) {
      if (titleTaken)
        name.otherTags.emplace_back(text);
      else
        title = text;
      titleTaken = true;
    }
    if (next == std::string_view::npos) break;
    rest.remove_prefix(next);
  }
  // TOSEC writes the version after the title, outside the tags.
  if (const std::size_t space = title.rfind(' '); space != std::string_view::npos) {
    if (auto version = versionWord(title.substr(space + 1))) {
      name.version = std::max(name.version, *version);
      addVersionText(name, title.substr(space + 1));
      title = trimmed(title.substr(0, space));
    }
  }
  name.title = title.empty() ? std::string(trimmed(stem)) : std::string(title);
  return name;
}

std::string gameKey(const SetName& name) {
  std::string key = name.title;
  if (!name.part.empty()) key += " (" + name.part + ")";
  for (char& c : key) c = lower(c);
  return key;
}

std::string describe(const SetName& name) {
  std::vector<std::string> pieces;
  std::string regions;
  for (Region region : name.regions)
    regions += (regions.empty() ? "" : ", ") + std::string(regionName(region));
  pieces.push_back(regions.empty() ? "no region" : regions);
  if (!name.versionText.empty()) pieces.push_back(name.versionText);
  static constexpr std::pair<Kind, std::string_view> kWords[] = {
      {kBeta, "Beta"},      {kProto, "Proto"},   {kDemo, "Demo"}, {kSample, "Sample"},
      {kUnlicensed, "Unl"}, {kPirate, "Pirate"}, {kHack, "Hack"}};
  bool staged = false;
  for (const auto& [kind, word] : kWords) {
    if (!(name.kinds & kind)) continue;
    std::string piece(word);
    if (name.stage > 0 && !staged && (kind & (kBeta | kProto | kDemo | kSample))) {
      piece += " " + std::to_string(name.stage);
      staged = true;
    }
    pieces.push_back(piece);
  }
  if (name.badDump) pieces.emplace_back("bad dump");
  if (name.verified) pieces.emplace_back("verified");
  std::string text;
  for (const std::string& piece : pieces) text += (text.empty() ? "" : ", ") + piece;
  return text;
}

}  // namespace kavo::catalog
