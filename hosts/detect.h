// SPDX-License-Identifier: MIT
// Which choice is in force now: the first entry for TargetHost in the hosts file, mapped to a
// LineChoice. Reads through a HostsStore; opens no file itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "hosts_store.h"
#include "hosts_text.h"
#include "line_catalogue.h"

struct Detection {
  LineChoice choice = LineChoice::Automatic;
  std::string address;  // of the first mapping line with an address; empty for Automatic
};

// Scans hosts text fed in chunks. The whole text is read; the first mapping line with a
// non-empty address decides.
class ChoiceScanner final : public TextSink {
 public:
  void Feed(std::string_view chunk) override;
  Detection Finish();

 private:
  void Judge(std::string_view run);

  LineSplitter splitter_;
  std::string found_address_;
};

Detection DetectInText(std::string_view text);

// Reads the hosts file and tells which choice is in force, or why it could not be read.
std::variant<Detection, OsError> DetectCurrentChoice(HostsStore& store);
