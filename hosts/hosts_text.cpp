// SPDX-License-Identifier: MIT
#include "hosts_text.h"

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
