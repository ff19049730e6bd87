// SPDX-License-Identifier: MIT
// The selector window's behaviour, written once for every toolkit: what happens at load and when
// Save is pressed. A front end implements Form1View over its real controls and passes the two
// events on; it decides nothing itself. The hosts file is reached only through the HostsStore.
#pragma once

#include <optional>
#include <string>

#include "form1_layout.h"
#include "hosts_store.h"
#include "line_catalogue.h"

class Form1View {
 public:
  virtual ~Form1View() = default;

  // Selects the radio button of `choice` and clears the others, without raising any event.
  virtual void Select(LineChoice choice) = 0;
  // Whether the user may select "其他" (it stands for an address the program does not know).
  virtual void AllowOther(bool allowed) = 0;
  virtual LineChoice Selected() const = 0;
  virtual void DisableSave() = 0;
  // A modal box with one OK button and no icon; returns when it is closed.
  virtual void ShowMessage(const Message& message) = 0;
  // Ends the program with `exit_code` once control returns to the event loop.
  virtual void EndProgram(int exit_code) = 0;
};

// The box shown instead of the window when the hosts file cannot be read at start-up.
struct StartupError {
  std::string title;
  std::string text;
};
StartupError DescribeStartupError(const OsError& error);

class Form1 {
 public:
  Form1(Form1View& view, HostsStore& store) : view_(view), store_(store) {}

  // Preselects the choice in force. On a read failure nothing is selected and the error comes
  // back: the window must not be shown.
  std::optional<OsError> Form_Load();

  // Saves the selected choice once, reports the outcome and ends the program.
  void Command1_Click();

  const std::string& CurrentAddress() const { return current_address_; }

 private:
  Form1View& view_;
  HostsStore& store_;
  std::string current_address_;
  bool saving_ = false;
};
