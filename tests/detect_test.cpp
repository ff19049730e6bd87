// SPDX-License-Identifier: MIT
#include "detect.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_hosts_store.h"
#include "test_text.h"

using namespace std::string_literals;

TEST(detect, the_first_entry_for_the_host_decides) {
  const struct {
    const char* name;
    std::string text;
    LineChoice choice;
    std::string address;
  } cases[] = {
      {"empty file", "", LineChoice::Automatic, ""},
      {"comments and blank lines", "# hosts\r\n\r\n   \r\n127.0.0.1 localhost\r\n",
       LineChoice::Automatic, ""},
      {"host named in a comment only", "# " + L1 + " " + Host + "\r\n", LineChoice::Automatic, ""},
      {"own entry for line 1", "127.0.0.1 localhost\r\n" + Entry(L1) + "\r\n", LineChoice::Line1,
       L1},
      {"own entry for line 2", Entry(L2) + "\r\n", LineChoice::Line2, L2},
      {"own entry for line 3", Entry(L3), LineChoice::Line3, L3},
      {"first of two entries", Entry(L1) + "\r\n" + Entry(L2) + "\r\n", LineChoice::Line1, L1},
      {"hand-written entry", L2 + " " + Host + "\n", LineChoice::Line2, L2},
      {"unknown address", "10.1.2.3 " + Host + "\n", LineChoice::Other, "10.1.2.3"},
      {"address with leading zeros", "192.000.002.010 " + Host, LineChoice::Other,
       "192.000.002.010"},
      {"IPv6 address", "::1 " + Host, LineChoice::Other, "::1"},
      // The resolver uses the first field as the address.
      {"trailing comment", L1 + " " + Host + " # my note\r\n", LineChoice::Line1, L1},
      {"several names", L1 + " " + Host + " www." + Host + "\r\n", LineChoice::Line1, L1},
      {"name in capitals", L1 + " " + Upper(Host) + "\r\n", LineChoice::Line1, L1},
      // Lines a resolver does not read as entries for the host.
      {"longer name only", L1 + " " + Host + ".cn\r\n", LineChoice::Automatic, ""},
      {"host in another line's comment", "10.0.0.1 other.test # " + Host + "\r\n",
       LineChoice::Automatic, ""},
      {"TAB-indented comment", "\t# " + L1 + " " + Host + "\r\n", LineChoice::Automatic, ""},
      {"name without address", "\t" + Host + "\r\n" + Entry(L1) + "\r\n", LineChoice::Line1, L1},
      // Line ends of every kind, and bytes of other encodings around the entry.
      {"LF line ends", "a.test b\n" + Entry(L2) + "\n", LineChoice::Line2, L2},
      {"lone CR line ends", "# x\r" + Entry(L3) + "\r", LineChoice::Line3, L3},
      {"GBK comment, NUL and invalid UTF-8",
       "# \xd6\xd0\xce\xc4\r\n\0\xff\r\n"s + Entry(L1) + "\r\n", LineChoice::Line1, L1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto whole = DetectInText(c.text);
    EXPECT_EQ(whole.choice, c.choice);
    EXPECT_EQ(whole.address, c.address);

    FakeHostsStore store(c.text);
    for (size_t chunk : {size_t{1}, size_t{2}, size_t{3}, size_t{64}}) {
      store.chunk_size = chunk;
      auto detected = DetectCurrentChoice(store);
      ASSERT_TRUE(std::holds_alternative<Detection>(detected));
      EXPECT_EQ(std::get<Detection>(detected).choice, c.choice) << "in chunks of " << chunk;
      EXPECT_EQ(std::get<Detection>(detected).address, c.address) << "in chunks of " << chunk;
    }
  }
}

TEST(detect, a_file_that_cannot_be_read_is_an_error_not_a_choice) {
  FakeHostsStore store(Entry(L1));
  store.read_error = AccessDenied();
  auto detected = DetectCurrentChoice(store);
  ASSERT_TRUE(std::holds_alternative<OsError>(detected));
  EXPECT_EQ(std::get<OsError>(detected).code, 13);
}
