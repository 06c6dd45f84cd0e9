// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavo::catalog {

// The regions set names give a release. The first four are the ones every
// order ranks; a country inside a wider region counts as that region when
// the player names only the wider one (see RegionOrder::rank).
enum class Region : std::uint8_t {
  World,
  USA,
  Europe,
  Japan,
  Asia,
  Australia,
  Brazil,
  Canada,
  China,
  Korea,
  HongKong,
  Taiwan,
  France,
  Germany,
  Italy,
  Spain,
  Netherlands,
  Sweden,
  UK,
  Russia,
  Scandinavia,
  Greece,
  Portugal,
  Denmark,
  Finland,
  Norway,
  Poland,
};

// "USA", "Europe", "Hong Kong": as No-Intro names write them.
std::string_view regionName(Region region);

// The region a word of a set name stands for: its full name in any case
// ("Europe", "EUROPE") or a code in capitals ("EUR", "EU", "E", "DE"). Codes
// must be capitals because the same letters in another case are languages
// ("De" is German, "DE" Germany).
std::optional<Region> regionInName(std::string_view word);

// The order in which a player prefers regions, most preferred first.
class RegionOrder {
 public:
  explicit RegionOrder(std::vector<Region> regions);

  const std::vector<Region>& regions() const { return regions_; }

  // How a release for these regions ranks, lower being preferred: its best
  // region's place in the order; a country ranks just after the wider
  // region it lies in when only that one is in the order ("Germany" just
  // after "Europe"); a region not in the order after all that are, and a
  // name that gives no region at all last.
  unsigned rank(const std::vector<Region>& regions) const;

  // "Europe, World, USA, Japan"
  std::string text() const;

 private:
  std::vector<Region> regions_;
};

// The order when the player names none: Europe, World, USA, Japan, or
// USA, Europe, World, Japan when the locale ("en_US.UTF-8", as LANG gives
// it) is of the United States.
RegionOrder defaultRegionOrder(std::string_view locale);

// The order a player writes ("USA,EUR,JPN"): regions by name or code in any
// case, separated by commas. The regions the player leaves out follow in
// the default order, so that a game never falls to list order merely
// because the player named only one region. Throws std::invalid_argument
// saying which word is not a region, or which region is named twice.
RegionOrder parseRegionOrder(std::string_view text, std::string_view locale);

// The locale the environment names: LC_ALL, else LANG ("" when neither).
// The one place that reads the environment.
std::string localeOfEnvironment();

}  // namespace kavo::catalog
