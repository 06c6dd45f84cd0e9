// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/one_per_game.h"

#include <stdexcept>
#include <unordered_map>

#include "catalog/set_name.h"

namespace kavo::catalog {

namespace {

// A listed file as one of its game's versions.
struct Version {
  std::size_t file = 0;
  SetName name;
  unsigned regionRank = 0;
  bool badDump = false;
  // With a DAT: the ROM it was identified as, so that two copies of one ROM
  // are told apart from two versions.
  std::optional<std::pair<std::size_t, std::size_t>> rom;
};

// The rules of one_per_game.h, in order.
enum class Rule { None, BadDump, Release, Region, Version, Revision, Stage, Verified, Flags, Tags };

// The first rule by which `a` and `b` differ, and whether `a` wins it.
std::pair<Rule, bool> compare(const Version& a, const Version& b) {
  if (a.badDump != b.badDump) return {Rule::BadDump, !a.badDump};
  if (a.name.isRelease() != b.name.isRelease()) return {Rule::Release, a.name.isRelease()};
  if (a.regionRank != b.regionRank) return {Rule::Region, a.regionRank < b.regionRank};
  if (a.name.version != b.name.version) return {Rule::Version, a.name.version > b.name.version};
  if (a.name.revision != b.name.revision)
    return {Rule::Revision, a.name.revision > b.name.revision};
  if (a.name.stage != b.name.stage) return {Rule::Stage, a.name.stage > b.name.stage};
  if (a.name.verified != b.name.verified) return {Rule::Verified, a.name.verified};
  if (a.name.flags != b.name.flags) return {Rule::Flags, a.name.flags < b.name.flags};
  if (a.name.otherTags.size() != b.name.otherTags.size())
    return {Rule::Tags, a.name.otherTags.size() < b.name.otherTags.size()};
  return {Rule::None, false};
}

std::string regionsOf(const SetName& name) {
  std::string text;
  for (Region region : name.regions)
    text += (text.empty() ? "" : ", ") + std::string(regionName(region));
  return text;
}

// Why `dropped` lost to `kept`.
std::string whyDropped(const Version& dropped, const Version& kept,
                       const std::vector<std::string>& names) {
  if (dropped.rom && dropped.rom == kept.rom) return "the same ROM as " + names[kept.file];
  switch (compare(dropped, kept).first) {
    case Rule::BadDump:  // the dropped one is the bad dump: told by the caller
    case Rule::Release:
      return "the release preferred";
    case Rule::Region:
      return regionsOf(kept.name) + " preferred";
    case Rule::Version:
    case Rule::Revision:
      return kept.name.versionText + " is newer";
    case Rule::Stage:
      return "a later stage preferred";
    case Rule::Verified:
      return "the verified dump preferred";
    case Rule::Flags:
      return "fewer flags preferred";
    case Rule::Tags:
      return "fewer tags preferred";
    case Rule::None:
      break;
  }
  return "the same version comes earlier in the list";
}

class Chooser {
 public:
  Chooser(const std::vector<std::string>& names, const RegionOrder& order)
      : names_(names), order_(order) {
    choice_.files.resize(names.size());
  }

  // Adds a file to the game whose key is `key` (a new one named `game`).
  void add(std::size_t file, SetName name, const std::string& key, const std::string& game,
           bool badDump, std::optional<std::pair<std::size_t, std::size_t>> rom = std::nullopt) {
    const auto [at, fresh] = gameOfKey_.emplace(key, choice_.games.size());
    if (fresh) {
      choice_.games.push_back(game);
      versions_.emplace_back();
    }
    choice_.files[file].game = at->second;
    Version version{file, std::move(name), 0, badDump, rom};
    version.badDump = version.badDump || version.name.badDump;
    version.regionRank = order_.rank(version.name.regions);
    // The title was for the key, which is made.
    version.name.title.clear();
    version.name.title.shrink_to_fit();
    versions_[at->second].push_back(std::move(version));
  }

  // Keeps a file as it is, a game of its own.
  void keep(std::size_t file, const std::string& reason) {
    choice_.files[file] = {true, choice_.games.size(), "kept: " + reason};
    choice_.games.push_back(names_[file]);
    versions_.emplace_back();
  }

  Choice finish() {
    for (const std::vector<Version>& versions : versions_) {
      if (versions.empty()) continue;
      const Version* best = &versions.front();
      for (const Version& version : versions)
        if (compare(version, *best).second) best = &version;
      for (const Version& version : versions) {
        FileChoice& file = choice_.files[version.file];
        if (&version == best && !best->badDump) {
          file.kept = true;
          file.reason = "kept: " + describe(version.name);
          if (!version.name.isRelease() && versions.size() > 1)
            file.reason += "; the game has no release";
        } else {
          file.reason = "dropped: " + describe(version.name) + "; ";
          file.reason +=
              version.badDump ? "a bad dump is never kept" : whyDropped(version, *best, names_);
        }
      }
    }
    return std::move(choice_);
  }

 private:
  const std::vector<std::string>& names_;
  const RegionOrder& order_;
  Choice choice_;
  std::unordered_map<std::string, std::size_t> gameOfKey_;
  std::vector<std::vector<Version>> versions_;  // of each game, in list order
};

}  // namespace

std::vector<std::size_t> Choice::kept() const {
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (files[i].kept) kept.push_back(i);
  return kept;
}

Choice choose(const std::vector<std::string>& names, const RegionOrder& order) {
  Chooser chooser(names, order);
  for (std::size_t i = 0; i < names.size(); ++i) {
    SetName name = parseSetName(stemOf(names[i]));
    const std::string key = gameKey(name);
    const std::string game = name.part.empty() ? name.title : name.title + " (" + name.part + ")";
    chooser.add(i, std::move(name), key, game, false);
  }
  return chooser.finish();
}

Choice choose(const std::vector<std::string>& names, const RegionOrder& order, const Dat& dat,
              const std::vector<Identity>& identities) {
  if (identities.size() != names.size())
    throw std::invalid_argument("one identity a listed name is needed");
  Chooser chooser(names, order);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Identity& identity = identities[i];
    if (identity.found == Found::Unknown) {
      chooser.keep(i, "not in the DAT");
      continue;
    }
    if (identity.found == Found::Unreadable) {
      chooser.keep(i, "could not be read (" + identity.problem + ")");
      continue;
    }
    const DatGame& parent = dat.games[dat.games[identity.game].parent];
    // The key is the parent's index, which no title can be taken for.
    const std::string key = "\n" + std::to_string(dat.games[identity.game].parent);
    chooser.add(i, parseSetName(dat.games[identity.game].name), key, parent.name, identity.badDump,
                std::make_pair(identity.game, identity.rom));
  }
  return chooser.finish();
}

}  // namespace kavo::catalog
