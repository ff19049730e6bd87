// SPDX-License-Identifier: MIT
#include "detect.h"

void ChoiceScanner::Feed(std::string_view chunk) {
  // Later entries are read but cannot change the answer: the resolver honours the first.
  if (!found_address_.empty()) return;
  splitter_.FeedRuns(chunk, [this](std::string_view run) { Judge(run); });
}

Detection ChoiceScanner::Finish() {
  if (found_address_.empty()) splitter_.FinishRuns([this](std::string_view run) { Judge(run); });
  return Detection{ChoiceForAddress(found_address_), found_address_};
}

void ChoiceScanner::Judge(std::string_view run) {
  CandidateLines candidates(run);
  while (found_address_.empty()) {
    const auto span = candidates.Next();
    if (!span) return;
    const auto line = run.substr(span->begin, span->end - span->begin);
    if (IsMappingLine(line)) found_address_ = ExtractAddress(TrimSpaces(line));
  }
}

Detection DetectInText(std::string_view text) {
  ChoiceScanner scanner;
  scanner.Feed(text);
  return scanner.Finish();
}

std::variant<Detection, OsError> DetectCurrentChoice(HostsStore& store) {
  ChoiceScanner scanner;
  if (auto error = store.Read(scanner)) return *std::move(error);
  return scanner.Finish();
}
