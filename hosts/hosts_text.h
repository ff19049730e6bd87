// SPDX-License-Identifier: MIT
// The hosts file as text: how it splits into lines and which lines are entries for TargetHost.
// Works on the file's own bytes; every byte these rules do not name (other encodings, invalid
// UTF-8, NUL) passes through untouched. Knows nothing of files, windows or the platform.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

// Every line the program writes ends with the platform's own line end: CR LF on Windows, LF
// elsewhere (a Linux system file with CR LF is misread by the platform's own tools).
#ifdef _WIN32
inline constexpr std::string_view NativeLineEnd = "\r\n";
#else
inline constexpr std::string_view NativeLineEnd = "\n";
#endif

// Splits text that arrives in chunks into lines without their line ends. A line ends at CR LF, a
// lone CR or a lone LF; the last line needs no line end, and a line end at the very end of the
// text does not start a further, empty line. A line that lies within one chunk is handed over as
// a view into that chunk; only a line that spans chunks is copied.
class LineSplitter {
 public:
  template <typename OnLine>
  void Feed(std::string_view chunk, OnLine&& on_line) {
    size_t pos = 0;
    if (after_cr_ && !chunk.empty()) {
      if (chunk.front() == '\n') pos = 1;
      after_cr_ = false;
    }
    while (pos < chunk.size()) {
      const auto rest = chunk.substr(pos);
      const auto it =
          std::find_if(rest.begin(), rest.end(), [](char c) { return c == '\n' || c == '\r'; });
      if (it == rest.end()) {
        carry_.append(rest);
        return;
      }
      const auto length = static_cast<size_t>(it - rest.begin());
      if (carry_.empty()) {
        on_line(rest.substr(0, length));
      } else {
        carry_.append(rest.substr(0, length));
        on_line(std::string_view(carry_));
        carry_.clear();
      }
      pos += length + 1;
      if (*it == '\r') {
        if (pos == chunk.size()) {
          after_cr_ = true;
        } else if (chunk[pos] == '\n') {
          ++pos;
        }
      }
    }
  }

  // Hands over the last line when the text did not end with a line end.
  template <typename OnLine>
  void Finish(OnLine&& on_line) {
    if (!carry_.empty()) on_line(std::string_view(carry_));
    carry_.clear();
    after_cr_ = false;
  }

 private:
  std::string carry_;
  bool after_cr_ = false;
};

// The line without leading and trailing space characters. TAB and other white space stay.
std::string_view TrimSpaces(std::string_view line);

// A line is active when its trimmed text is not empty and does not begin with "#".
bool IsActiveLine(std::string_view line);

// True when `t` names TargetHost the way a resolver reads it: the text before the first "#",
// split at spaces and TABs, holds TargetHost (in any ASCII letter case) as its second field or
// later. A longer name, a name in a comment, or a name standing first does not count.
bool MentionsTargetHost(std::string_view t);

// The address of a mapping line: its first field. Empty when the line has no field.
std::string_view ExtractAddress(std::string_view t);

// The line the program writes for `address`: the address, two TABs, TargetHost.
std::string FormatEntry(std::string_view address);

// What a save keeps of a mapping line: the line without each TargetHost field and the white space
// before it, so that the other host names on it keep their address. Nothing when no other host
// name remains.
std::optional<std::string> WithoutTargetHost(std::string_view line);

// Whether a line is an entry for TargetHost: active and naming it.
inline bool IsMappingLine(std::string_view line) {
  return IsActiveLine(line) && MentionsTargetHost(TrimSpaces(line));
}
