// SPDX-License-Identifier: MIT
#include "rewrite.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_hosts_store.h"
#include "test_text.h"

using namespace std::string_literals;

namespace {

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

TEST(rewrite, drops_every_entry_for_the_host_and_appends_one_after_all_kept_lines) {
  // `expected` is written with LF; the same case is also checked with CR LF line ends.
  const struct {
    const char* name;
    std::string input;
    LineChoice choice;
    std::string expected;
  } cases[] = {
      {"line 1 in the middle, choose line 2", "a\r\n" + Entry(L1) + "\r\nb\r\n", LineChoice::Line2,
       "a\nb\n" + Entry(L2) + "\n"},
      {"automatic removes every entry", "a\n" + Entry(L1) + "\n" + L2 + " " + Host + "\nb\n",
       LineChoice::Automatic, "a\nb\n"},
      {"only entries, automatic", Entry(L1) + "\n" + Entry(L2) + "\n", LineChoice::Automatic, ""},
      {"empty file, line 3", "", LineChoice::Line3, Entry(L3) + "\n"},
      {"empty file, automatic", "", LineChoice::Automatic, ""},
      {"several entries, one written",
       L1 + " " + Host + "\n#x\n" + Entry(L2) + "\n  10.0.0.9\t" + Host + "  \n", LineChoice::Line1,
       "#x\n" + Entry(L1) + "\n"},
      {"same choice again moves the entry to the end", Entry(L1) + "\nz\n", LineChoice::Line1,
       "z\n" + Entry(L1) + "\n"},
      {"comments naming the host stay", "# " + L1 + " " + Host + "\n\t# " + L1 + " " + Host + "\n",
       LineChoice::Line1,
       "# " + L1 + " " + Host + "\n\t# " + L1 + " " + Host + "\n" + Entry(L1) + "\n"},
      {"a longer name stays", L2 + " " + Host + ".cn\n", LineChoice::Line1,
       L2 + " " + Host + ".cn\n" + Entry(L1) + "\n"},
      {"another host whose comment names the host stays", "10.0.0.1 other.test # " + Host + "\n",
       LineChoice::Automatic, "10.0.0.1 other.test # " + Host + "\n"},
      {"the name in capitals is an entry", L2 + " " + Upper(Host) + "\n", LineChoice::Line1,
       Entry(L1) + "\n"},
      {"other names on the line keep their address",
       L2 + " www.test " + Host + " mail.test # shared\n", LineChoice::Line1,
       L2 + " www.test mail.test # shared\n" + Entry(L1) + "\n"},
      {"spaces and TABs around kept lines stay", "  a b \t\n\t\n   \n", LineChoice::Automatic,
       "  a b \t\n\t\n   \n"},
      {"lone CR line ends", "a\rb\r" + Entry(L1) + "\r", LineChoice::Line2,
       "a\nb\n" + Entry(L2) + "\n"},
      {"last line without line end", "a\nb", LineChoice::Line1, "a\nb\n" + Entry(L1) + "\n"},
      {"blank lines are kept, none added", "a\n\n\n", LineChoice::Line1,
       "a\n\n\n" + Entry(L1) + "\n"},
      {"bytes of other encodings pass through",
       "# \xd6\xd0\xce\xc4 \xe4\xb8\xad\r\n\0\xff\xfe\r\n"s + Entry(L1), LineChoice::Line3,
       "# \xd6\xd0\xce\xc4 \xe4\xb8\xad\n\0\xff\xfe\n"s + Entry(L3) + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RewriteText(c.input, c.choice, "\n"), c.expected);
    EXPECT_EQ(RewriteText(c.input, c.choice, "\r\n"), WithCrLf(c.expected));
  }
}

TEST(rewrite, lines_end_with_the_platforms_own_line_end) {
#ifdef _WIN32
  EXPECT_EQ(RewriteText("a\n", LineChoice::Line1), "a\r\n" + Entry(L1) + "\r\n");
#else
  EXPECT_EQ(RewriteText("a\r\n", LineChoice::Line1), "a\n" + Entry(L1) + "\n");
#endif
}

TEST(rewrite, reports_the_outcome_and_the_chosen_address) {
  const struct {
    const char* name;
    LineChoice choice;
    std::optional<OsError> read_error;
    std::optional<OsError> write_error;
    SaveStatus status;
    std::string address;
  } cases[] = {
      {"line 2 saved", LineChoice::Line2, std::nullopt, std::nullopt, SaveStatus::Succeeded, L2},
      {"automatic saved", LineChoice::Automatic, std::nullopt, std::nullopt, SaveStatus::Succeeded,
       ""},
      {"write refused", LineChoice::Line3, std::nullopt, AccessDenied(), SaveStatus::Failed, L3},
      {"read refused", LineChoice::Line1, AccessDenied(), std::nullopt, SaveStatus::Failed, L1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = "a\n" + Entry("10.0.0.1") + "\n";
    FakeHostsStore store(before);
    store.read_error = c.read_error;
    store.write_error = c.write_error;
    const auto outcome = RewriteHosts(c.choice, store);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.chosen_address, c.address);
    EXPECT_EQ(outcome.error.has_value(), c.status == SaveStatus::Failed);
    EXPECT_EQ(store.content == before, c.status == SaveStatus::Failed);
  }
}
