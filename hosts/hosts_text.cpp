// SPDX-License-Identifier: MIT
#include "hosts_text.h"

#include <cstdint>
#include <cstring>

#include "line_catalogue.h"

namespace {

bool IsFieldSeparator(char c) {
  return c == ' ' || c == '\t';
}

// Host names compare without regard to ASCII letter case, as resolvers compare them.
bool EqualsTargetHost(std::string_view field) {
  return std::equal(field.begin(), field.end(), TargetHost.begin(), TargetHost.end(),
                    [](char a, char b) {
                      const auto lower = [](char c) {
                        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
                      };
                      return lower(a) == b;
                    });
}

// The part of a line a resolver reads: everything before the first "#".
std::string_view BeforeComment(std::string_view line) {
  return line.substr(0, line.find('#'));
}

// Characters of host names from the most to the least frequent, roughly as they occur in
// blocklists. The search for TargetHost looks at its two rarest characters first.
constexpr std::string_view ByFrequency = ".eaoirtnslcmdu0123456789-phgbkfywvzjxq";

// The place of TargetHost's rarest character other than the one at `other` (unless the name
// has only one).
constexpr size_t RarestIndex(size_t other) {
  size_t best = std::string_view::npos;
  for (size_t i = 0; i < TargetHost.size(); ++i) {
    if (i == other && TargetHost.size() > 1) continue;
    if (best == std::string_view::npos ||
        ByFrequency.find(TargetHost[i]) > ByFrequency.find(TargetHost[best])) {
      best = i;
    }
  }
  return best;
}

constexpr size_t RarestAt = RarestIndex(TargetHost.size());
constexpr size_t NextRarestAt = RarestIndex(RarestAt);

// Sixteen bytes at a time, in whatever vector registers the target has (GCC and Clang).
using Bytes16 = unsigned char __attribute__((vector_size(16)));

constexpr unsigned char Folded(char c) {
  return static_cast<unsigned char>(static_cast<unsigned char>(c) | 0x20);
}

Bytes16 Load(const char* p) {
  Bytes16 bytes;
  std::memcpy(&bytes, p, sizeof bytes);
  return bytes;
}

struct Field {
  size_t begin;
  size_t end;
};

// Calls on_field(index, field) for each field of `text`, split at runs of spaces and TABs.
template <typename OnField>
void ForEachField(std::string_view text, OnField&& on_field) {
  size_t index = 0;
  size_t pos = 0;
  while (true) {
    while (pos < text.size() && IsFieldSeparator(text[pos])) ++pos;
    if (pos == text.size()) return;
    const size_t begin = pos;
    while (pos < text.size() && !IsFieldSeparator(text[pos])) ++pos;
    on_field(index++, Field{begin, pos});
  }
}

}  // namespace

size_t FindTargetHost(std::string_view text, size_t from) {
  if (text.size() < TargetHost.size()) return std::string_view::npos;
  const size_t last = text.size() - TargetHost.size();  // the last place it can begin
  // Keeps only the places where the name's two rarest characters stand, in any case (OR 0x20
  // folds the letters; it also lets a few other bytes through, which the comparison then drops).
  const Bytes16 fold = Bytes16{} + 0x20;
  const Bytes16 rarest = Bytes16{} + Folded(TargetHost[RarestAt]);
  const Bytes16 next_rarest = Bytes16{} + Folded(TargetHost[NextRarestAt]);
  const auto candidates = [&](size_t at) {
    return ((Load(text.data() + at + RarestAt) | fold) == rarest) &
           ((Load(text.data() + at + NextRarestAt) | fold) == next_rarest);
  };
  // 64 places per test; the few blocks that pass are compared place by place.
  constexpr size_t Block = 4 * sizeof(Bytes16);
  size_t at = from;
  for (; at + Block <= last + 1; at += Block) {
    const auto any =
        candidates(at) | candidates(at + 16) | candidates(at + 32) | candidates(at + 48);
    uint64_t halves[2];
    std::memcpy(halves, &any, sizeof halves);
    if ((halves[0] | halves[1]) == 0) continue;
    for (size_t i = at; i < at + Block; ++i) {
      if (EqualsTargetHost(text.substr(i, TargetHost.size()))) return i;
    }
  }
  for (; at <= last; ++at) {
    if (EqualsTargetHost(text.substr(at, TargetHost.size()))) return at;
  }
  return std::string_view::npos;
}

std::optional<LineSpan> CandidateLines::Next() {
  const size_t at = FindTargetHost(run_, pos_);
  if (at == std::string_view::npos) return std::nullopt;
  LineSpan line;
  const size_t before = run_.find_last_of("\r\n", at);
  line.begin = before == std::string_view::npos ? 0 : before + 1;
  line.end = std::min(run_.find_first_of("\r\n", at + TargetHost.size()), run_.size());
  line.next = line.end;
  if (line.next < run_.size() && run_[line.next++] == '\r' && line.next < run_.size() &&
      run_[line.next] == '\n') {
    ++line.next;
  }
  pos_ = line.next;
  return line;
}

std::string_view TrimSpaces(std::string_view line) {
  const auto first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

bool IsActiveLine(std::string_view line) {
  const auto t = TrimSpaces(line);
  return !t.empty() && t.front() != '#';
}

bool MentionsTargetHost(std::string_view t) {
  const auto names = BeforeComment(t);
  bool found = false;
  ForEachField(names, [&](size_t index, Field f) {
    if (index > 0 && EqualsTargetHost(names.substr(f.begin, f.end - f.begin))) found = true;
  });
  return found;
}

std::string_view ExtractAddress(std::string_view t) {
  const auto names = BeforeComment(t);
  std::string_view address;
  ForEachField(names, [&](size_t index, Field f) {
    if (index == 0) address = names.substr(f.begin, f.end - f.begin);
  });
  return address;
}

std::string FormatEntry(std::string_view address) {
  std::string entry;
  entry.reserve(address.size() + 2 + TargetHost.size());
  entry.append(address).append("\t\t").append(TargetHost);
  return entry;
}

std::optional<std::string> WithoutTargetHost(std::string_view line) {
  const auto names = BeforeComment(line);
  std::string kept;
  size_t copied = 0;  // line[0, copied) has been dealt with
  size_t previous_end = 0;
  bool other_names = false;
  ForEachField(names, [&](size_t index, Field f) {
    const auto field = names.substr(f.begin, f.end - f.begin);
    if (index > 0 && EqualsTargetHost(field)) {
      kept.append(line.substr(copied, previous_end - copied));
      copied = f.end;  // drops the white space before the name, and the name
    } else if (index > 0) {
      other_names = true;
    }
    previous_end = f.end;
  });
  if (!other_names) return std::nullopt;
  kept.append(line.substr(copied));
  return kept;
}
