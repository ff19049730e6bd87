// SPDX-License-Identifier: MIT
// Properties of detection and rewrite over generated hosts files.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "detect.h"
#include "rewrite.h"
#include "test_text.h"

namespace {

class HostsFileGenerator {
 public:
  explicit HostsFileGenerator(unsigned seed) : random_(seed) {}

  std::string File() {
    std::string text;
    const int lines = Between(0, 30);
    for (int i = 0; i < lines; ++i) {
      text += Line();
      if (i + 1 < lines || Between(0, 1) == 1) text += LineEnd();
    }
    return text;
  }

 private:
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  std::string LineEnd() {
    static const char* const ends[] = {"\r\n", "\n", "\r"};
    return ends[Between(0, 2)];
  }

  std::string RandomBytes() {
    std::string bytes;
    for (int n = Between(0, 12); n > 0; --n) {
      char c;
      do {
        c = static_cast<char>(Between(0, 255));
      } while (c == '\r' || c == '\n');
      bytes += c;
    }
    return bytes;
  }

  std::string Line() {
    const std::string name = "h" + std::to_string(Between(0, 99)) + ".test";
    switch (Between(0, 17)) {
      case 0:
        return "127.0.0.1 localhost";
      case 1:
        return Entry(L1);
      case 2:
        return Entry(L2);
      case 3:
        return Entry(L3);
      case 4:
        return "10.0.0." + std::to_string(Between(0, 255)) + " " + Host;
      case 5:
        return "  " + L2 + "  " + Upper(Host) + " \t";
      case 6:
        return "0.0.0.0 " + name;
      case 7:
        return "# " + L1 + " " + Host;
      case 8:
        return "\t# " + L1 + " " + Host;
      case 9:
        return L1 + " " + name + " " + Host + " # " + name;
      case 10:
        return L1 + " " + Host + ".cn";
      case 11:
        return "10.0.0.1 " + name + " # " + Host;
      case 12:
        return "";
      case 13:
        return "   ";
      case 14:
        return "\t";
      case 15:
        return Host + " " + L1;
      case 16:
        return "\t" + Host;
      default:
        return RandomBytes();
    }
  }

  std::mt19937 random_;
};

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  LineSplitter splitter;
  const auto collect = [&](std::string_view line) { lines.emplace_back(line); };
  splitter.Feed(text, collect);
  splitter.Finish(collect);
  return lines;
}

bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  size_t at = 0;
  for (const auto& line : whole) {
    if (at < part.size() && part[at] == line) ++at;
  }
  return at == part.size();
}

constexpr LineChoice SavedChoices[] = {LineChoice::Automatic, LineChoice::Line1, LineChoice::Line2,
                                       LineChoice::Line3};

}  // namespace

TEST(rewrite_properties, hold_for_generated_files) {
  for (unsigned seed = 1; seed <= 400; ++seed) {
    const std::string input = HostsFileGenerator(seed).File();
    const auto in_lines = Lines(input);
    std::vector<std::string> not_mapping;
    for (const auto& line : in_lines) {
      if (!IsMappingLine(line)) not_mapping.push_back(line);
    }
    for (auto choice : SavedChoices) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << ", choice " << static_cast<int>(choice)
                                      << ": " << testing::PrintToString(input));
      const std::string output = RewriteText(input, choice, "\n");
      auto out_lines = Lines(output);

      // Exactly one entry, the last line, for a line choice; none for Automatic.
      if (choice != LineChoice::Automatic) {
        ASSERT_FALSE(out_lines.empty());
        EXPECT_EQ(out_lines.back(), Entry(std::string(AddressForChoice(choice))));
        out_lines.pop_back();
      }
      for (const auto& line : out_lines) EXPECT_FALSE(IsMappingLine(line)) << line;

      // Every line that is not an entry comes back byte-identical and in order.
      EXPECT_TRUE(IsSubsequence(not_mapping, out_lines));
      EXPECT_LE(out_lines.size(), in_lines.size());

      // The next start shows the choice; saving it again changes nothing.
      EXPECT_EQ(DetectInText(output).choice, choice);
      EXPECT_EQ(RewriteText(output, choice, "\n"), output);
    }
  }
}

TEST(rewrite_properties, chunk_boundaries_change_nothing) {
  std::mt19937 random(7);
  for (unsigned seed = 1; seed <= 200; ++seed) {
    const std::string input = HostsFileGenerator(seed).File();
    SCOPED_TRACE(testing::PrintToString(input));
    HostsRewrite rewrite(LineChoice::Line2, "\r\n");
    ChoiceScanner scanner;
    std::string output;
    for (size_t pos = 0; pos < input.size();) {
      const size_t size = std::uniform_int_distribution<size_t>(1, 9)(random);
      const auto chunk = std::string_view(input).substr(pos, size);
      rewrite.Feed(chunk, output);
      scanner.Feed(chunk);
      pos += chunk.size();
    }
    rewrite.Finish(output);
    EXPECT_EQ(output, RewriteText(input, LineChoice::Line2, "\r\n"));
    const auto detected = scanner.Finish();
    const auto whole = DetectInText(input);
    EXPECT_EQ(detected.choice, whole.choice);
    EXPECT_EQ(detected.address, whole.address);
  }
}
