// SPDX-License-Identifier: MIT
// libFuzzer target over the core: any bytes as the hosts file, and a choice. Nothing may crash,
// and the rewrite's promises must hold for every input: each line that is not an entry for
// TargetHost comes back byte for byte and in order, a line that also names other hosts keeps
// them, exactly one entry follows for a line choice and none for Automatic, the start-up scan of
// the result gives the choice, a second save changes nothing, and text fed in chunks of any size
// gives what the whole text gives.
//
// Input: byte 0 picks the choice, byte 1 the chunk size; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "detect.h"
#include "hosts_text.h"
#include "line_catalogue.h"
#include "rewrite.h"

namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

// Lines as a resolver reads them, written apart from the program's own splitter: they end at
// CR LF, CR or LF; a line end at the very end does not start another line.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '\r' && text[i] != '\n') {
      ++i;
      continue;
    }
    lines.push_back(text.substr(start, i - start));
    i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string RewriteInChunks(std::string_view text, LineChoice choice, size_t chunk) {
  HostsRewrite rewrite(choice, NativeLineEnd);
  std::string out;
  for (size_t pos = 0; pos < text.size(); pos += chunk) rewrite.Feed(text.substr(pos, chunk), out);
  rewrite.Finish(out);
  return out;
}

Detection DetectInChunks(std::string_view text, size_t chunk) {
  ChoiceScanner scanner;
  for (size_t pos = 0; pos < text.size(); pos += chunk) scanner.Feed(text.substr(pos, chunk));
  return scanner.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  constexpr LineChoice Choices[] = {LineChoice::Automatic, LineChoice::Line1, LineChoice::Line2,
                                    LineChoice::Line3};
  const LineChoice choice = Choices[data[0] % 4];
  const size_t chunk = data[1] % 64 + 1;
  const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);

  const std::string out = RewriteText(text, choice);
  Require(RewriteInChunks(text, choice, chunk) == out, "chunked rewrite differs");
  const Detection before = DetectInText(text);
  const Detection chunked = DetectInChunks(text, chunk);
  Require(before.choice == chunked.choice && before.address == chunked.address,
          "chunked scan differs");

  // Every output line ends with the native line end, and holds no other line end.
  Require(out.empty() || out.ends_with(NativeLineEnd), "output does not end with a line end");
  std::vector<std::string_view> written;
  for (size_t start = 0; start < out.size();) {
    const size_t end = out.find(NativeLineEnd, start);
    written.push_back(std::string_view(out).substr(start, end - start));
    start = end + NativeLineEnd.size();
  }
  for (const auto line : written) {
    Require(line.find_first_of("\r\n") == std::string_view::npos, "a line end inside a line");
  }

  size_t next = 0;
  for (const auto line : Lines(text)) {
    if (!IsMappingLine(line)) {
      Require(next < written.size() && written[next] == line, "a kept line changed or moved");
      ++next;
      continue;
    }
    const auto rest = WithoutTargetHost(line);
    if (!rest) continue;
    Require(next < written.size() && written[next] == *rest, "other names of an entry lost");
    Require(!IsMappingLine(written[next]), "a kept line still names the host");
    Require(ExtractAddress(TrimSpaces(written[next])) == ExtractAddress(TrimSpaces(line)),
            "other names moved to another address");
    ++next;
  }
  const auto address = AddressForChoice(choice);
  if (address.empty()) {
    Require(next == written.size(), "an entry written for Automatic");
  } else {
    Require(next + 1 == written.size() && written[next] == FormatEntry(address),
            "not exactly one entry, last");
  }

  const Detection after = DetectInText(out);
  Require(after.choice == choice && after.address == address, "the scan misreads the result");
  Require(RewriteText(out, choice) == out, "a second save changes the file");
  return 0;
}
