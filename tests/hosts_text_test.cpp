// SPDX-License-Identifier: MIT
#include "hosts_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "line_catalogue.h"
#include "test_text.h"

using namespace std::string_literals;

namespace {

std::vector<std::string> SplitInChunks(std::string_view text, size_t chunk_size) {
  std::vector<std::string> lines;
  LineSplitter splitter;
  const auto collect = [&](std::string_view line) { lines.emplace_back(line); };
  for (size_t pos = 0; pos < text.size(); pos += chunk_size) {
    splitter.Feed(text.substr(pos, chunk_size), collect);
  }
  splitter.Finish(collect);
  return lines;
}

}  // namespace

TEST(hosts_text, splits_lines_at_every_kind_of_line_end_whatever_the_chunks) {
  const struct {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\n\nb", {"a", "", "b"}},
      {"x\0y\r\n\xff\xfe\n"s, {"x\0y"s, "\xff\xfe"}},
      {"\xc4\xfa\xba\xc3 # \xd6\xd0\xce\xc4\r", {"\xc4\xfa\xba\xc3 # \xd6\xd0\xce\xc4"}},
  };
  for (const auto& c : cases) {
    for (size_t chunk = 1; chunk <= c.text.size() + 1; ++chunk) {
      SCOPED_TRACE(testing::Message()
                   << testing::PrintToString(c.text) << " in chunks of " << chunk);
      EXPECT_EQ(SplitInChunks(c.text, chunk), c.lines);
    }
  }
}

TEST(hosts_text, trims_spaces_only) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("\t a \t"), "\t a \t");
  EXPECT_EQ(TrimSpaces("    "), "");
  EXPECT_EQ(TrimSpaces("\xe3\x80\x80"
                       "a"),
            "\xe3\x80\x80"
            "a");  // ideographic space stays
}

TEST(hosts_text, tells_active_lines_from_blank_lines_and_comments) {
  const struct {
    std::string line;
    bool active;
  } cases[] = {
      {"", false},        {"    ", false},
      {"# note", false},  {"   # note " + Host, false},
      {"\t\t", true},  // TAB is not trimmed
      {"\t# note", true}, {"192.0.2.1 " + Host, true},
      {"  a", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    EXPECT_EQ(IsActiveLine(c.line), c.active);
  }
}

TEST(hosts_text, a_mapping_line_names_the_host_as_a_whole_field_after_the_address) {
  const struct {
    std::string line;
    bool mapping;
  } cases[] = {
      {"192.0.2.1 " + Host, true},
      {"192.0.2.1\t" + Host, true},
      {"192.0.2.1\t\t" + Host, true},
      {"  192.0.2.1  " + Host + "  ", true},
      {"\t192.0.2.1 " + Host, true},
      {"192.0.2.1 other.test " + Host + " third.test", true},
      {"192.0.2.1 " + Host + "# no space before the comment", true},
      {"192.0.2.1 " + Host + " # note", true},
      // Letter case does not matter to resolvers.
      {"192.0.2.1 " + Upper(Host), true},
      {"192.0.2.1 " + Upper(Host.substr(0, 1)) + Host.substr(1), true},
      // Not the host: a longer or shorter name, a name that stands first, a name in a comment.
      {"192.0.2.1 " + Host + ".cn", false},
      {"192.0.2.1 www." + Host, false},
      {"192.0.2.1 " + Host.substr(0, Host.size() - 1), false},
      {Host + " 192.0.2.1", false},
      {"\t" + Host, false},
      {"192.0.2.1 other.test # " + Host, false},
      {"192.0.2.1 other.test #" + Host, false},
      {"# 192.0.2.1 " + Host, false},
      {"\t# 192.0.2.1 " + Host, false},
      {"192.0.2.1\xe3\x80\x80" + Host, false},  // ideographic space is no separator
      {"", false},
      {"\t\t", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    EXPECT_EQ(IsMappingLine(c.line), c.mapping);
  }
}

TEST(hosts_text, the_address_is_the_first_field) {
  const struct {
    std::string t;
    std::string address;
  } cases[] = {
      {FormatEntry("192.0.2.10"), "192.0.2.10"},
      {"192.0.2.10 " + Host + " # note", "192.0.2.10"},
      {"192.0.2.10 " + Host + " www." + Host, "192.0.2.10"},
      {"\t192.0.2.10\t" + Host, "192.0.2.10"},
      {"192.0.2.10#" + Host, "192.0.2.10"},
      {"::1 " + Host, "::1"},
      {"# only a comment", ""},
      {"\t", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.t));
    EXPECT_EQ(ExtractAddress(c.t), c.address);
  }
}

TEST(hosts_text, the_entry_is_address_two_tabs_and_host) {
  EXPECT_EQ(FormatEntry("192.0.2.10"), "192.0.2.10\t\t" + Host);
  for (auto address : {Line1Address, Line2Address, Line3Address}) {
    const auto entry = FormatEntry(address);
    EXPECT_TRUE(IsMappingLine(entry));
    EXPECT_EQ(ExtractAddress(TrimSpaces(entry)), address);
  }
}

TEST(hosts_text, removing_the_host_keeps_the_other_names_and_everything_around_them) {
  const struct {
    std::string line;
    std::optional<std::string> kept;
  } cases[] = {
      {"192.0.2.1 " + Host, std::nullopt},
      {"192.0.2.1\t\t" + Host + " # note", std::nullopt},
      {"192.0.2.1 " + Host + " " + Upper(Host), std::nullopt},
      {"192.0.2.1 a.test " + Host + " b.test", "192.0.2.1 a.test b.test"},
      {"192.0.2.1\t" + Host + "\ta.test # c", "192.0.2.1\ta.test # c"},
      {"  192.0.2.1 a.test " + Host + "\t# about " + Host + "  ",
       "  192.0.2.1 a.test\t# about " + Host + "  "},
      {"192.0.2.1 " + Host + " a.test " + Host, "192.0.2.1 a.test"},
      {"192.0.2.1 a.test " + Host + ".cn " + Host, "192.0.2.1 a.test " + Host + ".cn"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    EXPECT_EQ(WithoutTargetHost(c.line), c.kept);
  }
}
