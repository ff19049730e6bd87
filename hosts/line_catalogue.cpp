// SPDX-License-Identifier: MIT
#include "line_catalogue.h"

std::string_view AddressForChoice(LineChoice choice) {
  switch (choice) {
    case LineChoice::Line1:
      return Line1Address;
    case LineChoice::Line2:
      return Line2Address;
    case LineChoice::Line3:
      return Line3Address;
    case LineChoice::Automatic:
    case LineChoice::Other:
      break;
  }
  return {};
}

LineChoice ChoiceForAddress(std::string_view address) {
  // The order of the tests matters only if two constants were equal, which configure refuses.
  if (address.empty()) return LineChoice::Automatic;
  if (address == Line1Address) return LineChoice::Line1;
  if (address == Line2Address) return LineChoice::Line2;
  if (address == Line3Address) return LineChoice::Line3;
  return LineChoice::Other;
}
