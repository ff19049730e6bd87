// SPDX-License-Identifier: MIT
// Writes a blocklist-style hosts file for the benchmarks: mostly "0.0.0.0 <name>" lines, about 5%
// comments and blank lines, some TAB-separated and some multi-name lines, and a few lines about
// TargetHost at fixed places (the first entry near the middle). The same arguments give the same
// bytes on every machine: the random numbers come from a fixed generator, not from <random>'s
// distributions, whose results the standard leaves to each library.
//
//   generate_hosts LINES SEED lf|crlf > FILE
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hosts_text.h"
#include "line_catalogue.h"

namespace {

// SplitMix64: small, fast and fully specified.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
  }
  // A number in [0, n).
  size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
  template <size_t N>
  std::string_view Pick(const std::string_view (&items)[N]) {
    return items[Below(N)];
  }

 private:
  uint64_t state_;
};

constexpr std::string_view Words[] = {
    "ads",    "ad",     "track",   "tracker", "cdn",       "stats", "metrics",   "pixel",
    "click",  "banner", "promo",   "media",   "analytics", "tag",   "beacon",    "counter",
    "serve",  "static", "img",     "api",     "log",       "event", "affiliate", "popup",
    "mobile", "app",    "collect", "data",    "telemetry", "sync",  "match",     "bid"};
constexpr std::string_view Syllables[] = {"ka",  "lo",  "mi",  "ne",  "ra",  "tu",  "vo",  "zi",
                                          "sha", "pro", "ter", "gen", "dra", "bel", "cor", "fin",
                                          "mar", "net", "qua", "wex", "yu",  "pix", "tor", "lin"};
constexpr std::string_view Tlds[] = {"com", "com", "com", "com",  "net", "net", "org",   "io",
                                     "ru",  "de",  "cn",  "info", "xyz", "top", "co.uk", "biz"};

std::string Label(Random& random) {
  std::string label;
  if (random.Below(3) == 0) {
    label = random.Pick(Words);
  } else {
    for (size_t n = 2 + random.Below(3); n > 0; --n) label += random.Pick(Syllables);
  }
  if (random.Below(5) == 0) label += std::to_string(random.Below(100));
  if (random.Below(8) == 0) label += "-" + std::string(random.Pick(Words));
  return label;
}

std::string Name(Random& random) {
  std::string name;
  for (size_t n = random.Below(3); n > 0; --n) name += Label(random) + ".";
  return name + Label(random) + "." + std::string(random.Pick(Tlds));
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (auto& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// The lines about TargetHost, by their place in the file (per mille of its length). Only the
// entry near the middle and the two after it are entries; the rest only look like one.
struct Special {
  size_t per_mille;
  int kind;
};
constexpr Special Specials[] = {{250, 0}, {300, 1}, {400, 2}, {500, 3}, {600, 4}, {800, 5}};

std::string SpecialLine(int kind, Random& random) {
  const std::string host(TargetHost);
  switch (kind) {
    case 0:
      return "# 0.0.0.0 " + host + " (left in as a note)";
    case 1:
      return "0.0.0.0 cdn." + host;
    case 2:
      return "0.0.0.0 " + host + ".cn";
    case 3:
      return FormatEntry(Line1Address);
    case 4:
      return "0.0.0.0 " + Name(random) + " " + host + "\t" + Name(random);
    default:
      return "0.0.0.0\t" + Upper(host);
  }
}

std::string OrdinaryLine(Random& random) {
  const size_t kind = random.Below(1000);
  if (kind < 25) return "";
  if (kind < 50) return "# " + std::string(random.Pick(Words)) + " servers, " + Name(random);
  if (kind < 80) return "0.0.0.0\t" + Name(random);
  if (kind < 100) {
    std::string line = "0.0.0.0 " + Name(random);
    for (size_t n = 1 + random.Below(3); n > 0; --n) line += " " + Name(random);
    return line;
  }
  return "0.0.0.0 " + Name(random);
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string_view usage = "usage: generate_hosts LINES SEED lf|crlf > FILE\n";
  if (argc != 4) {
    std::fputs(usage.data(), stderr);
    return 2;
  }
  const size_t lines = std::strtoull(argv[1], nullptr, 10);
  Random random(std::strtoull(argv[2], nullptr, 10));
  const std::string_view mode = argv[3];
  if (mode != "lf" && mode != "crlf") {
    std::fputs(usage.data(), stderr);
    return 2;
  }
  const std::string_view line_end = mode == "lf" ? "\n" : "\r\n";

  const std::string_view header[] = {"# Test blocklist written by generate_hosts",
                                     "#",
                                     "127.0.0.1 localhost",
                                     "127.0.0.1 localhost.localdomain",
                                     "::1 localhost ip6-localhost ip6-loopback",
                                     "255.255.255.255 broadcasthost",
                                     "0.0.0.0 0.0.0.0",
                                     ""};
  std::string text;
  size_t special = 0;
  size_t header_line = 0;
  for (size_t i = 0; i < lines; ++i) {
    std::string line;
    if (special < std::size(Specials) && i * 1000 >= Specials[special].per_mille * lines) {
      line = SpecialLine(Specials[special++].kind, random);
    } else if (header_line < std::size(header)) {
      line = header[header_line++];
    } else {
      line = OrdinaryLine(random);
    }
    text.append(line).append(line_end);
    if (text.size() >= 1 << 20) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      text.clear();
    }
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
