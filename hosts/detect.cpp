// SPDX-License-Identifier: MIT
#include "detect.h"

void ChoiceScanner::Feed(std::string_view chunk) {
  splitter_.Feed(chunk, [this](std::string_view line) { Judge(line); });
}

Detection ChoiceScanner::Finish() {
  splitter_.Finish([this](std::string_view line) { Judge(line); });
  return Detection{ChoiceForAddress(found_address_), found_address_};
}

void ChoiceScanner::Judge(std::string_view line) {
  // Later entries are read but cannot change the answer: the resolver honours the first.
  if (!found_address_.empty() || !IsMappingLine(line)) return;
  found_address_ = ExtractAddress(TrimSpaces(line));
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
