// SPDX-License-Identifier: MIT
// Small helpers for writing hosts text in tests.
#pragma once

#include <string>

#include "line_catalogue.h"

inline const std::string Host(TargetHost);
inline const std::string L1(Line1Address);
inline const std::string L2(Line2Address);
inline const std::string L3(Line3Address);

inline std::string Upper(std::string text) {
  for (auto& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The program's own entry line for `address`, without its line end.
inline std::string Entry(const std::string& address) {
  return address + "\t\t" + Host;
}
