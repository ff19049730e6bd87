// SPDX-License-Identifier: MIT
#include "line_catalogue.h"

#include <gtest/gtest.h>

#include <string>

TEST(line_catalogue, maps_addresses_to_choices_by_exact_text) {
  const struct {
    std::string address;
    LineChoice expected;
  } cases[] = {
      {"", LineChoice::Automatic},
      {std::string(Line1Address), LineChoice::Line1},
      {std::string(Line2Address), LineChoice::Line2},
      {std::string(Line3Address), LineChoice::Line3},
      {"10.9.8.7", LineChoice::Other},
      {std::string(Line1Address) + " www.example.com", LineChoice::Other},
      {std::string(Line1Address) + " ", LineChoice::Other},
      {" " + std::string(Line1Address), LineChoice::Other},
      {"0" + std::string(Line1Address),
       LineChoice::Other},  // leading zero: same number, other text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(ChoiceForAddress(c.address), c.expected);
  }
}

TEST(line_catalogue, every_line_has_an_address_of_its_own_that_maps_back) {
  for (auto choice : {LineChoice::Line1, LineChoice::Line2, LineChoice::Line3}) {
    SCOPED_TRACE(static_cast<int>(choice));
    ASSERT_FALSE(AddressForChoice(choice).empty());
    EXPECT_EQ(ChoiceForAddress(AddressForChoice(choice)), choice);
  }
  EXPECT_TRUE(AddressForChoice(LineChoice::Automatic).empty());
  EXPECT_TRUE(AddressForChoice(LineChoice::Other).empty());
}
