// SPDX-License-Identifier: MIT
// Applying a choice: the hosts text without its entries for TargetHost, then (for a line choice)
// the one entry in the program's own format after all kept lines. Every other line is carried
// over byte for byte and in order; each line ends with the given line end. Writing and replacing
// the file belong to the HostsStore.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hosts_store.h"
#include "hosts_text.h"
#include "line_catalogue.h"

class HostsRewrite final : public TextTransform {
 public:
  // `choice` is Automatic, Line1, Line2 or Line3; Other never reaches the rewrite.
  HostsRewrite(LineChoice choice, std::string_view line_end);

  void Feed(std::string_view chunk, std::string& out) override;
  void Finish(std::string& out) override;

 private:
  void Keep(std::string_view run, std::string& out);

  LineChoice choice_;
  std::string_view line_end_;
  LineSplitter splitter_;
};

std::string RewriteText(std::string_view text, LineChoice choice,
                        std::string_view line_end = NativeLineEnd);

enum class SaveStatus { Succeeded, Failed };

struct SaveOutcome {
  SaveStatus status = SaveStatus::Failed;
  std::string chosen_address;    // the address written, for a line choice
  std::optional<OsError> error;  // why it failed
};

SaveOutcome RewriteHosts(LineChoice choice, HostsStore& store);
