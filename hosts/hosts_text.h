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

// Where each line of a run of text ends: the first CR or LF at or after a position. Each byte is
// looked at once, by memchr, whatever the number of lines.
class LineEndFinder {
 public:
  explicit LineEndFinder(std::string_view text) : text_(text) {}

  // The first CR or LF at or after `from`, or the text's size when there is none.
  size_t Next(size_t from) {
    if (next_cr_ < from || next_cr_ == Unknown) next_cr_ = Find('\r', from);
    if (next_lf_ < from || next_lf_ == Unknown) next_lf_ = Find('\n', from);
    return std::min(next_cr_, next_lf_);
  }

 private:
  size_t Find(char c, size_t from) const {
    const auto at = text_.find(c, from);
    return at == std::string_view::npos ? text_.size() : at;
  }

  static constexpr size_t Unknown = std::string_view::npos;

  std::string_view text_;
  size_t next_cr_ = Unknown;  // the first CR at or after the last search, or the text's size
  size_t next_lf_ = Unknown;
};

// Calls on_line for each line of `text`, without its line end. A line ends at CR LF, a lone CR or
// a lone LF; a last line without line end counts, an empty piece after the last line end does not.
template <typename OnLine>
void ForEachLine(std::string_view text, OnLine&& on_line) {
  LineEndFinder ends(text);
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = ends.Next(pos);
    on_line(text.substr(pos, end - pos));
    if (end == text.size()) return;
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
}

// Splits text that arrives in chunks into runs of whole lines, each line with its line end (the
// last line of the text may lack one). A CR LF is never split between two runs: an LF that
// follows a CR at the end of the previous chunk is dropped. A run that lies within one chunk is
// handed over as a view into that chunk; only a line that spans chunks is copied.
class LineSplitter {
 public:
  template <typename OnRun>
  void FeedRuns(std::string_view chunk, OnRun&& on_run) {
    size_t pos = 0;
    if (after_cr_ && !chunk.empty()) {
      if (chunk.front() == '\n') pos = 1;
      after_cr_ = false;
    }
    if (!carry_.empty()) {
      // The line begun in an earlier chunk, up to its line end.
      const size_t begin = pos;
      const size_t end = LineEndFinder(chunk).Next(begin);
      if (end == chunk.size()) {
        carry_.append(chunk.substr(begin));
        return;
      }
      pos = AfterLineEnd(chunk, end);
      carry_.append(chunk.substr(begin, pos - begin));
      on_run(std::string_view(carry_));
      carry_.clear();
    }
    const auto last = chunk.find_last_of("\r\n");
    if (last == std::string_view::npos || last < pos) {
      carry_.assign(chunk.substr(pos));
      return;
    }
    on_run(chunk.substr(pos, last + 1 - pos));
    if (chunk[last] == '\r' && last + 1 == chunk.size()) after_cr_ = true;
    carry_.assign(chunk.substr(last + 1));
  }

  // Hands over the last line when the text did not end with a line end.
  template <typename OnRun>
  void FinishRuns(OnRun&& on_run) {
    if (!carry_.empty()) on_run(std::string_view(carry_));
    carry_.clear();
    after_cr_ = false;
  }

  // The same, line by line.
  template <typename OnLine>
  void Feed(std::string_view chunk, OnLine&& on_line) {
    FeedRuns(chunk, [&](std::string_view run) { ForEachLine(run, on_line); });
  }
  template <typename OnLine>
  void Finish(OnLine&& on_line) {
    FinishRuns([&](std::string_view run) { ForEachLine(run, on_line); });
  }

 private:
  // Where the next line starts after the line end at `end`. Notes a CR at the chunk's end, whose LF
  // may come with the next chunk.
  size_t AfterLineEnd(std::string_view chunk, size_t end) {
    if (chunk[end] == '\r') {
      if (end + 1 == chunk.size()) {
        after_cr_ = true;
      } else if (chunk[end + 1] == '\n') {
        return end + 2;
      }
    }
    return end + 1;
  }

  std::string carry_;
  bool after_cr_ = false;
};

// The first place at or after `from` where `text` holds TargetHost, in any ASCII letter case and
// whatever surrounds it, or npos. Every entry for TargetHost holds such a place, so the lines
// without one need not be split or judged.
size_t FindTargetHost(std::string_view text, size_t from);

// One line of a run: run[begin, end) is the line without its line end; the next line starts at
// `next`.
struct LineSpan {
  size_t begin = 0;
  size_t end = 0;
  size_t next = 0;
};

// The lines of a run of whole lines that hold TargetHost in any letter case, in order: the only
// lines that can be entries for it.
class CandidateLines {
 public:
  explicit CandidateLines(std::string_view run) : run_(run) {}

  std::optional<LineSpan> Next();

 private:
  std::string_view run_;
  size_t pos_ = 0;
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
