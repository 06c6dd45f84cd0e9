// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/catalog_report.h"

#include <stdexcept>

#include "text/counts.h"

namespace kavo::catalog {

namespace {

std::string csvField(std::string_view text) {
  std::string field;
  if (!text.empty() && std::string_view("=+-@").find(text.front()) != std::string_view::npos)
    field = "'";
  field += text;
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void addRow(std::string& csv, std::initializer_list<std::string_view> fields) {
  bool first = true;
  for (const std::string_view field : fields) {
    if (!first) csv += ',';
    csv += csvField(field);
    first = false;
  }
  csv += "\r\n";
}

// The listed files of each of the DAT's games, in list order.
std::vector<std::vector<std::size_t>> filesOfGames(const Dat& dat,
                                                   const std::vector<Identity>& identities) {
  std::vector<std::vector<std::size_t>> files(dat.games.size());
  for (std::size_t i = 0; i < identities.size(); ++i)
    if (identities[i].found == Found::Identified) files.at(identities[i].game).push_back(i);
  return files;
}

}  // namespace

CatalogCounts countCatalog(const Dat& dat, const std::vector<Identity>& identities) {
  CatalogCounts counts;
  counts.games = dat.games.size();
  std::vector<bool> held(dat.games.size());
  for (const Identity& identity : identities) {
    switch (identity.found) {
      case Found::Unknown:
        ++counts.unknown;
        break;
      case Found::Unreadable:
        ++counts.unreadable;
        break;
      case Found::Identified:
        if (identity.badDump) ++counts.badDumps;
        if (identity.duplicateOf) ++counts.duplicates;
        if (!identity.badDump && !held.at(identity.game)) {
          held[identity.game] = true;
          ++counts.held;
        }
        break;
    }
  }
  return counts;
}

std::string summaryLine(const CatalogCounts& counts) {
  std::string line = withThousands(counts.held) + " of " + counted(counts.games, "game", "games") +
                     ", " + withThousands(counts.unknown) + " unknown, " +
                     counted(counts.badDumps, "bad dump", "bad dumps");
  if (counts.duplicates > 0) line += ", " + counted(counts.duplicates, "duplicate", "duplicates");
  if (counts.unreadable > 0) line += ", " + withThousands(counts.unreadable) + " unreadable";
  return line;
}

std::string catalogReport(const Dat& dat, const std::vector<std::string>& names,
                          const std::vector<Identity>& identities) {
  if (identities.size() != names.size())
    throw std::invalid_argument("one identity a listed name is needed");
  std::string csv;
  addRow(csv, {"Status", "Game", "Clone of", "Files", "Note"});
  const std::vector<std::vector<std::size_t>> files = filesOfGames(dat, identities);
  for (std::size_t game = 0; game < dat.games.size(); ++game) {
    std::string listed;
    bool duplicate = false, good = false;
    for (const std::size_t file : files[game]) {
      listed += (listed.empty() ? "" : " | ") + names[file];
      duplicate = duplicate || identities[file].duplicateOf.has_value();
      good = good || !identities[file].badDump;
    }
    const char* status = files[game].empty() ? "missing"
                         : duplicate         ? "duplicate"
                         : !good             ? "bad dump"
                                             : "identified";
    const char* note = duplicate                       ? "the same ROM more than once"
                       : !good && !files[game].empty() ? "the DAT marks this dump bad"
                                                       : "";
    addRow(csv, {status, dat.games[game].name, dat.games[game].cloneOf, listed, note});
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (identities[i].found == Found::Unknown) addRow(csv, {"unknown", names[i], "", names[i], ""});
    if (identities[i].found == Found::Unreadable)
      addRow(csv, {"unreadable", names[i], "", names[i], identities[i].problem});
  }
  return csv;
}

}  // namespace kavo::catalog
