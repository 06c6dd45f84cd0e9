// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/region_order.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>

namespace kavo::catalog {

namespace {

struct RegionNames {
  Region region;
  std::string_view name;
  // Codes as set names and players write them: No-Intro's three letters,
  // TOSEC's two (ISO 3166), GoodTools' one.
  std::array<std::string_view, 4> codes;
  // The wider region it lies in, if any.
  std::optional<Region> within;
};

constexpr std::optional<Region> kNone;

// In the order of the enumeration.
const RegionNames kRegions[] = {
    {Region::World, "World", {"WOR", "W"}, kNone},
    {Region::USA, "USA", {"US", "U"}, kNone},
    {Region::Europe, "Europe", {"EUR", "EU", "E"}, kNone},
    {Region::Japan, "Japan", {"JPN", "JP", "J"}, kNone},
    {Region::Asia, "Asia", {"ASI", "AS"}, kNone},
    {Region::Australia, "Australia", {"AUS", "AU", "A"}, kNone},
    {Region::Brazil, "Brazil", {"BRA", "BR", "B"}, kNone},
    {Region::Canada, "Canada", {"CAN", "CA"}, Region::USA},
    {Region::China, "China", {"CHN", "CN", "C"}, Region::Asia},
    {Region::Korea, "Korea", {"KOR", "KR", "K"}, kNone},
    {Region::HongKong, "Hong Kong", {"HKG", "HK"}, Region::Asia},
    {Region::Taiwan, "Taiwan", {"TWN", "TW"}, Region::Asia},
    {Region::France, "France", {"FRA", "FR", "F"}, Region::Europe},
    {Region::Germany, "Germany", {"GER", "DEU", "DE", "G"}, Region::Europe},
    {Region::Italy, "Italy", {"ITA", "IT", "I"}, Region::Europe},
    {Region::Spain, "Spain", {"SPA", "ESP", "ES", "S"}, Region::Europe},
    {Region::Netherlands, "Netherlands", {"NLD", "NL", "H"}, Region::Europe},
    {Region::Sweden, "Sweden", {"SWE", "SE"}, Region::Europe},
    {Region::UK, "UK", {"GBR", "GB"}, Region::Europe},
    {Region::Russia, "Russia", {"RUS", "RU"}, Region::Europe},
    {Region::Scandinavia, "Scandinavia", {"SCA"}, Region::Europe},
    {Region::Greece, "Greece", {"GRC", "GR"}, Region::Europe},
    {Region::Portugal, "Portugal", {"POR", "PRT", "PT"}, Region::Europe},
    {Region::Denmark, "Denmark", {"DNK", "DK"}, Region::Europe},
    {Region::Finland, "Finland", {"FIN", "FI"}, Region::Europe},
    {Region::Norway, "Norway", {"NOR", "NO"}, Region::Europe},
    {Region::Poland, "Poland", {"POL", "PL"}, Region::Europe},
};

const RegionNames& namesOf(Region region) { return kRegions[static_cast<std::size_t>(region)]; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

// The region a word names; codes in capitals only unless `anyCase`. The
// full names "Holland" and "United Kingdom" are taken too.
std::optional<Region> regionNamed(std::string_view word, bool anyCase) {
  if (word.empty()) return std::nullopt;
  if (sameIgnoringCase(word, "Holland")) return Region::Netherlands;
  if (sameIgnoringCase(word, "United Kingdom")) return Region::UK;
  for (const RegionNames& names : kRegions) {
    if (sameIgnoringCase(word, names.name)) return names.region;
    for (std::string_view code : names.codes)
      if (!code.empty() && (anyCase ? sameIgnoringCase(word, code) : word == code))
        return names.region;
  }
  return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Whether a locale ("en_US.UTF-8", "es_US", "en_US@euro") is of the United
// States: its territory, between "_" and any "." or "@", is "US".
bool isOfUnitedStates(std::string_view locale) {
  const std::size_t underscore = locale.find('_');
  if (underscore == std::string_view::npos) return false;
  std::string_view territory = locale.substr(underscore + 1);
  territory = territory.substr(0, territory.find_first_of(".@"));
  return territory == "US";
}

}  // namespace

std::string_view regionName(Region region) { return namesOf(region).name; }

std::optional<Region> regionInName(std::string_view word) { return regionNamed(word, false); }

RegionOrder::RegionOrder(std::vector<Region> regions) : regions_(std::move(regions)) {}

unsigned RegionOrder::rank(const std::vector<Region>& regions) const {
  const auto place = [&](Region region) -> std::optional<unsigned> {
    const auto at = std::find(regions_.begin(), regions_.end(), region);
    if (at == regions_.end()) return std::nullopt;
    return static_cast<unsigned>(at - regions_.begin());
  };
  const auto count = static_cast<unsigned>(regions_.size());
  unsigned best = 2 * count + 1;  // no region at all
  for (Region region : regions) {
    unsigned rank = 2 * count;  // not in the order
    if (const auto at = place(region)) {
      rank = 2 * *at;
    } else if (const auto within = namesOf(region).within) {
      if (const auto at = place(*within)) rank = 2 * *at + 1;
    }
    best = std::min(best, rank);
  }
  return best;
}

std::string RegionOrder::text() const {
  std::string text;
  for (Region region : regions_) {
    if (!text.empty()) text += ", ";
    text += regionName(region);
  }
  return text;
}

RegionOrder defaultRegionOrder(std::string_view locale) {
  if (isOfUnitedStates(locale))
    return RegionOrder({Region::USA, Region::Europe, Region::World, Region::Japan});
  return RegionOrder({Region::Europe, Region::World, Region::USA, Region::Japan});
}

RegionOrder parseRegionOrder(std::string_view text, std::string_view locale) {
  std::vector<Region> regions;
  for (;;) {
    const std::size_t comma = text.find(',');
    const std::string_view word = trimmed(text.substr(0, comma));
    if (word.empty()) throw std::invalid_argument("a region is missing between the commas");
    const std::optional<Region> region = regionNamed(word, true);
    if (!region) {
      std::string known;
      for (const RegionNames& names : kRegions)
        known += (known.empty() ? "" : ", ") + std::string(names.name);
      throw std::invalid_argument("\"" + std::string(word) +
                                  "\" is not a region (regions: " + known + ")");
    }
    if (std::find(regions.begin(), regions.end(), *region) != regions.end())
      throw std::invalid_argument("\"" + std::string(word) + "\" names " +
                                  std::string(regionName(*region)) + " a second time");
    regions.push_back(*region);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  const RegionOrder defaults = defaultRegionOrder(locale);
  for (Region region : defaults.regions())
    if (std::find(regions.begin(), regions.end(), region) == regions.end())
      regions.push_back(region);
  return RegionOrder(std::move(regions));
}

std::string localeOfEnvironment() {
  for (const char* variable : {"LC_ALL", "LANG"})
    if (const char* value = std::getenv(variable); value && *value) return value;
  return {};
}

}  // namespace kavo::catalog
