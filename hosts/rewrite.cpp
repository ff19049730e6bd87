// SPDX-License-Identifier: MIT
#include "rewrite.h"

HostsRewrite::HostsRewrite(LineChoice choice, std::string_view line_end)
    : choice_(choice), line_end_(line_end) {}

namespace {

// Appends each line of `lines` followed by `line_end`.
void AppendLines(std::string_view lines, std::string_view line_end, std::string& out) {
  if (line_end != "\n") {
    ForEachLine(lines, [&](std::string_view line) { out.append(line).append(line_end); });
    return;
  }
  // Only CRs change: CR LF and a lone CR become LF. The runs between them are copied whole.
  size_t pos = 0;
  for (size_t cr; (cr = lines.find('\r', pos)) != std::string_view::npos;) {
    out.append(lines.substr(pos, cr - pos)).push_back('\n');
    pos = cr + 1;
    if (pos < lines.size() && lines[pos] == '\n') ++pos;
  }
  const auto rest = lines.substr(pos);
  out.append(rest);
  if (!rest.empty() && rest.back() != '\n') out.push_back('\n');
}

}  // namespace

void HostsRewrite::Feed(std::string_view chunk, std::string& out) {
  splitter_.FeedRuns(chunk, [&](std::string_view run) { Keep(run, out); });
}

void HostsRewrite::Finish(std::string& out) {
  splitter_.FinishRuns([&](std::string_view run) { Keep(run, out); });
  const auto address = AddressForChoice(choice_);
  if (!address.empty()) out.append(FormatEntry(address)).append(line_end_);
}

// Copies a run of lines, all but its entries for TargetHost. Only the lines that hold the name
// are judged; the stretches between them are copied whole.
void HostsRewrite::Keep(std::string_view run, std::string& out) {
  size_t copied = 0;
  CandidateLines candidates(run);
  while (const auto span = candidates.Next()) {
    const auto line = run.substr(span->begin, span->end - span->begin);
    if (!IsMappingLine(line)) continue;
    AppendLines(run.substr(copied, span->begin - copied), line_end_, out);
    // A line that also names other hosts keeps them, and their address.
    if (auto rest = WithoutTargetHost(line)) out.append(*rest).append(line_end_);
    copied = span->next;
  }
  AppendLines(run.substr(copied), line_end_, out);
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
