// SPDX-License-Identifier: MIT
// The fast paths of detection and rewrite (memchr for the host name's rarest letter, runs of lines
// copied whole) against a plain line-by-line reading of the same rules, on texts made of the
// pieces that trip such shortcuts: the name in any case, near misses, every kind of line end.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "detect.h"
#include "rewrite.h"
#include "test_text.h"

namespace {

std::string Piece(std::mt19937& random) {
  const std::string pieces[] = {
      Host,
      Upper(Host),
      Host.substr(0, Host.size() / 2) + Upper(Host.substr(Host.size() / 2)),
      Host.substr(1),
      Host.substr(0, Host.size() - 1),
      "0.0.0.0",
      L1,
      L2,
      " ",
      "  ",
      "\t",
      "#",
      "\r\n",
      "\n",
      "\r",
      "x",
      "X",
      "a.test",
      "\n\r",
      std::string(1, '\0')};
  return pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(random)];
}

std::string RandomText(std::mt19937& random) {
  std::string text;
  for (int n = std::uniform_int_distribution<int>(0, 60)(random); n > 0; --n) text += Piece(random);
  return text;
}

// Lines split one character at a time, as a reader would do it by hand.
std::vector<std::string> PlainLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      line += text[i];
      continue;
    }
    lines.push_back(line);
    line.clear();
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string PlainRewrite(std::string_view text, LineChoice choice, std::string_view line_end) {
  std::string out;
  for (const auto& line : PlainLines(text)) {
    if (!IsMappingLine(line)) {
      out.append(line).append(line_end);
    } else if (auto rest = WithoutTargetHost(line)) {
      out.append(*rest).append(line_end);
    }
  }
  const auto address = AddressForChoice(choice);
  if (!address.empty()) out.append(FormatEntry(address)).append(line_end);
  return out;
}

std::string PlainDetect(std::string_view text) {
  for (const auto& line : PlainLines(text)) {
    if (IsMappingLine(line)) return std::string(ExtractAddress(TrimSpaces(line)));
  }
  return {};
}

}  // namespace

TEST(hosts_scan, the_finder_stops_at_every_place_the_host_is_named_in_any_case) {
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    const std::string text = RandomText(random);
    SCOPED_TRACE(testing::PrintToString(text));
    std::vector<size_t> expected;
    for (size_t at = 0; at + Host.size() <= text.size(); ++at) {
      bool same = true;
      for (size_t i = 0; i < Host.size(); ++i) {
        const char c = text[at + i];
        same = same && (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == Host[i];
      }
      if (same) expected.push_back(at);
    }
    std::vector<size_t> found;
    for (size_t at = FindTargetHost(text, 0); at != std::string_view::npos;
         at = FindTargetHost(text, at + 1)) {
      found.push_back(at);
    }
    EXPECT_EQ(found, expected);
  }
}

TEST(hosts_scan, rewrite_and_detection_agree_with_a_line_by_line_reading_in_any_chunks) {
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    const std::string text = RandomText(random);
    const auto line_end = round % 2 == 0 ? std::string_view("\n") : std::string_view("\r\n");
    const size_t chunk = std::uniform_int_distribution<size_t>(1, 40)(random);
    SCOPED_TRACE(testing::Message() << testing::PrintToString(text) << " in chunks of " << chunk);

    HostsRewrite rewrite(LineChoice::Line3, line_end);
    ChoiceScanner scanner;
    std::string out;
    for (size_t pos = 0; pos < text.size(); pos += chunk) {
      const auto piece = std::string_view(text).substr(pos, chunk);
      rewrite.Feed(piece, out);
      scanner.Feed(piece);
    }
    rewrite.Finish(out);
    EXPECT_EQ(out, PlainRewrite(text, LineChoice::Line3, line_end));
    EXPECT_EQ(scanner.Finish().address, PlainDetect(text));
  }
}
