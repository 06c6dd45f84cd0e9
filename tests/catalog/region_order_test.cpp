// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/region_order.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kavo::catalog {
namespace {

TEST(RegionOrderTest, ReadsThePlayersOrderAndAddsTheRest) {
  struct Case {
    const char* text;
    const char* locale;
    const char* order;
  };
  const Case cases[] = {
      {"USA,EUR,JPN", "", "USA, Europe, Japan, World"},
      {"us, e , j", "de_DE.UTF-8", "USA, Europe, Japan, World"},
      {"Japan", "", "Japan, Europe, World, USA"},
      {"jpn", "en_US.UTF-8", "Japan, USA, Europe, World"},
      {"WOR,BRA,KOR", "", "World, Brazil, Korea, Europe, USA, Japan"},
      {"Germany,holland,UK", "", "Germany, Netherlands, UK, Europe, World, USA, Japan"},
      {"Hong Kong", "", "Hong Kong, Europe, World, USA, Japan"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parseRegionOrder(c.text, c.locale).text(), c.order) << c.text;
}

TEST(RegionOrderTest, RefusesWhatIsNoRegionSayingWhich) {
  const std::pair<const char*, const char*> cases[] = {
      {"Moon", "\"Moon\" is not a region (regions: World, USA, Europe, Japan,"},
      {"USA,,JPN", "a region is missing between the commas"},
      {"", "a region is missing between the commas"},
      {"USA,", "a region is missing between the commas"},
      {"US,usa", "\"usa\" names USA a second time"},
      {"EU", ""},  // accepted
  };
  for (const auto& [text, message] : cases) {
    try {
      parseRegionOrder(text, "");
      EXPECT_STREQ(message, "") << text << " was accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(message), "") << text << ": " << error.what();
      EXPECT_EQ(std::string(error.what()).rfind(message, 0), 0u) << error.what();
    }
  }
}

TEST(RegionOrderTest, PutsTheUsaFirstOnlyWhereTheLocaleIsOfTheUnitedStates) {
  const std::pair<const char*, const char*> cases[] = {
      {"en_US.UTF-8", "USA, Europe, World, Japan"}, {"es_US", "USA, Europe, World, Japan"},
      {"en_US@euro", "USA, Europe, World, Japan"},  {"en_GB.UTF-8", "Europe, World, USA, Japan"},
      {"en_AU.UTF-8", "Europe, World, USA, Japan"}, {"us_XX", "Europe, World, USA, Japan"},
      {"C.UTF-8", "Europe, World, USA, Japan"},     {"", "Europe, World, USA, Japan"},
  };
  for (const auto& [locale, order] : cases)
    EXPECT_EQ(defaultRegionOrder(locale).text(), order) << locale;
}

TEST(RegionOrderTest, RanksCountriesAfterTheirRegionAndNoRegionLast) {
  const RegionOrder order = defaultRegionOrder("");  // Europe, World, USA, Japan
  using R = std::vector<Region>;
  const std::vector<R> best_first = {
      R{Region::Europe},
      R{Region::Japan, Region::Europe},
      R{Region::Germany},
      R{Region::World},
      R{Region::USA},
      R{Region::Canada},
      R{Region::Japan},
      R{Region::Brazil},
      R{},
  };
  for (std::size_t i = 1; i < best_first.size(); ++i)
    EXPECT_LE(order.rank(best_first[i - 1]), order.rank(best_first[i])) << i;
  EXPECT_EQ(order.rank(R{Region::Europe}), order.rank(R{Region::Japan, Region::Europe}));
  EXPECT_LT(order.rank(R{Region::Germany}), order.rank(R{Region::World}));
  EXPECT_EQ(order.rank(R{Region::Brazil}), order.rank(R{Region::HongKong}));
  EXPECT_LT(order.rank(R{Region::Brazil}), order.rank(R{}));
  // Named, a country comes before its region.
  const RegionOrder german = parseRegionOrder("GER", "");
  EXPECT_LT(german.rank(R{Region::Germany}), german.rank(R{Region::Europe}));
}

}  // namespace
}  // namespace kavo::catalog
