// SPDX-License-Identifier: MIT
#include "rewrite.h"

HostsRewrite::HostsRewrite(LineChoice choice, std::string_view line_end)
    : choice_(choice), line_end_(line_end) {}

void HostsRewrite::Feed(std::string_view chunk, std::string& out) {
  splitter_.Feed(chunk, [&](std::string_view line) { Keep(line, out); });
}

void HostsRewrite::Finish(std::string& out) {
  splitter_.Finish([&](std::string_view line) { Keep(line, out); });
  const auto address = AddressForChoice(choice_);
  if (!address.empty()) out.append(FormatEntry(address)).append(line_end_);
}

void HostsRewrite::Keep(std::string_view line, std::string& out) {
  if (!IsMappingLine(line)) {
    out.append(line).append(line_end_);
    return;
  }
  // A line that also names other hosts keeps them, and their address.
  if (auto rest = WithoutTargetHost(line)) out.append(*rest).append(line_end_);
}

std::string RewriteText(std::string_view text, LineChoice choice, std::string_view line_end) {
  HostsRewrite rewrite(choice, line_end);
  std::string out;
  rewrite.Feed(text, out);
  rewrite.Finish(out);
  return out;
}

SaveOutcome RewriteHosts(LineChoice choice, HostsStore& store) {
  HostsRewrite rewrite(choice, NativeLineEnd);
  SaveOutcome outcome;
  outcome.chosen_address = AddressForChoice(choice);
  outcome.error = store.Rewrite(rewrite);
  outcome.status = outcome.error ? SaveStatus::Failed : SaveStatus::Succeeded;
  return outcome;
}
