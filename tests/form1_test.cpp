// SPDX-License-Identifier: MIT
#include "form1.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "fake_hosts_store.h"
#include "hosts_text.h"
#include "test_text.h"

namespace {

// Behaves like a radio group: one selection, events recorded in order.
class FakeView final : public Form1View {
 public:
  void Select(LineChoice choice) override {
    selected = choice;
    events.push_back("select");
  }
  void AllowOther(bool allowed) override { other_allowed = allowed; }
  LineChoice Selected() const override { return selected; }
  void DisableSave() override {
    save_enabled = false;
    events.push_back("disable");
  }
  void ShowMessage(const Message& message) override {
    messages.push_back(message);
    events.push_back("message");
  }
  void EndProgram(int code) override {
    exit_codes.push_back(code);
    events.push_back("end");
  }

  LineChoice selected = LineChoice::Automatic;
  bool other_allowed = true;
  bool save_enabled = true;
  std::vector<Message> messages;
  std::vector<int> exit_codes;
  std::vector<std::string> events;
};

bool operator==(const Message& a, const Message& b) {
  return a.title == b.title && a.text == b.text;
}

}  // namespace

TEST(form1, load_preselects_the_choice_in_force) {
  const struct {
    const char* name;
    std::string hosts;
    LineChoice choice;
    std::string address;
  } cases[] = {
      {"no entry", "127.0.0.1 localhost\n", LineChoice::Automatic, ""},
      {"line 1", Entry(L1) + "\r\n", LineChoice::Line1, L1},
      {"line 2", Entry(L2) + "\r\n", LineChoice::Line2, L2},
      {"line 3", Entry(L3) + "\r\n", LineChoice::Line3, L3},
      {"unknown address", "10.0.0.5 " + Host + "\n", LineChoice::Other, "10.0.0.5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeView view;
    FakeHostsStore store(c.hosts);
    Form1 form(view, store);
    EXPECT_FALSE(form.Form_Load().has_value());
    EXPECT_EQ(view.selected, c.choice);
    EXPECT_EQ(view.other_allowed, c.choice == LineChoice::Other);
    EXPECT_EQ(form.CurrentAddress(), c.address);
    EXPECT_EQ(store.content, c.hosts);
  }
}

TEST(form1, load_failure_selects_nothing_and_returns_the_error) {
  FakeView view;
  FakeHostsStore store;
  store.read_error = AccessDenied();
  Form1 form(view, store);
  const auto error = form.Form_Load();
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->code, 13);
  EXPECT_TRUE(view.events.empty());

  const auto box = DescribeStartupError(*error);
  EXPECT_NE(box.text.find("/fake/hosts"), std::string::npos);
  EXPECT_NE(box.text.find("13"), std::string::npos);
  EXPECT_NE(box.text.find("Permission denied"), std::string::npos);
}

TEST(form1, save_applies_the_selection_reports_and_ends) {
  const struct {
    const char* name;
    std::string hosts;
    LineChoice pick;
    std::string after;  // with the platform's line end written as \n
    std::string address;
  } cases[] = {
      {"line 1 to line 2", "a\r\n" + Entry(L1) + "\r\nb\r\n", LineChoice::Line2,
       "a\nb\n" + Entry(L2) + "\n", L2},
      {"line 2 to automatic", Entry(L2) + "\r\nb\r\n", LineChoice::Automatic, "b\n", L2},
      {"automatic to line 3", "b", LineChoice::Line3, "b\n" + Entry(L3) + "\n", L3},
      {"unchanged choice still rewrites", Entry(L1) + "\r\nb\r\n", LineChoice::Line1,
       "b\n" + Entry(L1) + "\n", L1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeView view;
    FakeHostsStore store(c.hosts);
    Form1 form(view, store);
    ASSERT_FALSE(form.Form_Load().has_value());
    view.selected = c.pick;
    form.Command1_Click();

    std::string expected;
    for (char ch : c.after) {
      if (ch == '\n')
        expected += NativeLineEnd;
      else
        expected += ch;
    }
    EXPECT_EQ(store.content, expected);
    EXPECT_EQ(view.events, (std::vector<std::string>{"select", "disable", "message", "end"}));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_TRUE(view.messages[0] == SuccessMessage);
    EXPECT_EQ(view.exit_codes, std::vector<int>{0});
    EXPECT_EQ(form.CurrentAddress(), c.address);
  }
}

TEST(form1, other_saves_nothing_and_reports_success) {
  const std::string hosts = "10.0.0.5 " + Host + "\r\nlast line without end";
  FakeView view;
  FakeHostsStore store(hosts);
  Form1 form(view, store);
  ASSERT_FALSE(form.Form_Load().has_value());
  form.Command1_Click();
  EXPECT_EQ(store.rewrites, 0);
  EXPECT_EQ(store.reads, 1);
  EXPECT_EQ(store.content, hosts);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_TRUE(view.messages[0] == SuccessMessage);
  EXPECT_EQ(view.exit_codes, std::vector<int>{0});
}

TEST(form1, a_refused_write_shows_the_failure_message_and_ends) {
  const std::string hosts = Entry(L1) + "\r\n";
  FakeView view;
  FakeHostsStore store(hosts);
  store.write_error = AccessDenied();
  Form1 form(view, store);
  ASSERT_FALSE(form.Form_Load().has_value());
  view.selected = LineChoice::Line2;
  form.Command1_Click();
  EXPECT_EQ(store.content, hosts);
  EXPECT_FALSE(view.save_enabled);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_TRUE(view.messages[0] == FailureMessage);
  EXPECT_EQ(view.exit_codes, std::vector<int>{1});
}

TEST(form1, save_pressed_twice_saves_once) {
  FakeView view;
  FakeHostsStore store(Entry(L1) + "\n");
  Form1 form(view, store);
  ASSERT_FALSE(form.Form_Load().has_value());
  view.selected = LineChoice::Line3;
  form.Command1_Click();
  form.Command1_Click();
  EXPECT_EQ(store.rewrites, 1);
  EXPECT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.exit_codes.size(), 1u);
}

TEST(form1_layout, one_control_per_choice_and_the_save_button_second_in_tab_order) {
  std::set<LineChoice> choices;
  for (const auto& control : Form1Controls) {
    if (control.choice) {
      EXPECT_TRUE(choices.insert(*control.choice).second) << control.name;
    }
    EXPECT_LE(control.left + control.width, ClientWidthTwips) << control.name;
    EXPECT_LE(control.top + control.height, ClientHeightTwips) << control.name;
  }
  EXPECT_EQ(choices.size(), 5u);
  EXPECT_EQ(Form1Controls[1].name, "Command1");
  EXPECT_EQ(TwipsToPixels(ClientWidthTwips, 96), 340);
  EXPECT_EQ(TwipsToPixels(ClientHeightTwips, 96), 143);
  EXPECT_EQ(TwipsToPixels(ClientWidthTwips, 192), 680);
}
