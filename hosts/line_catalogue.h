// SPDX-License-Identifier: MIT
// The program's fixed knowledge: the one host name it manages, the address of each line, the five
// choices it offers and how a choice and an address correspond. Everything here is compiled in
// (see cmake/edition.cmake); nothing reads a file or the command line.
#pragma once

#include <string_view>

#include "edition.h"

enum class LineChoice { Automatic, Line1, Line2, Line3, Other };

inline constexpr std::string_view TargetHost = LINESEL_TARGET_HOST;
inline constexpr std::string_view Line1Address = LINESEL_LINE1_ADDRESS;
inline constexpr std::string_view Line2Address = LINESEL_LINE2_ADDRESS;
inline constexpr std::string_view Line3Address = LINESEL_LINE3_ADDRESS;

// The address that saving `choice` writes. Only Line1, Line2 and Line3 have one; Automatic and
// Other give the empty text.
std::string_view AddressForChoice(LineChoice choice);

// The choice whose address is exactly `address` (whole text, case-sensitive, no trimming): the
// empty text is Automatic, an address the catalogue does not know is Other.
LineChoice ChoiceForAddress(std::string_view address);
