// SPDX-License-Identifier: MIT
// Runs one of the program's own hosts-file paths once, on a given file, and prints how long it
// took. A developer tool for tools/bench.sh, which times the whole process as well and measures
// its memory; it is not a command of the product.
//
//   hosts_bench detect FILE   DetectCurrentChoice, as the window's load runs it
//   hosts_bench save FILE     RewriteHosts(Line2), as the Save button runs it: FILE is replaced,
//                             so give it a copy
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <variant>

#include "detect.h"
#include "posix_hosts_store.h"
#include "rewrite.h"

namespace {

constexpr std::string_view ChoiceNames[] = {"Automatic", "Line1", "Line2", "Line3", "Other"};

std::string_view NameOf(LineChoice choice) {
  return ChoiceNames[static_cast<size_t>(choice)];
}

int Fail(const OsError& error) {
  std::fprintf(stderr, "hosts_bench: %s %s: %s\n", error.operation.c_str(), error.path.c_str(),
               error.text.c_str());
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fputs("usage: hosts_bench detect|save FILE\n", stderr);
    return 2;
  }
  const std::string_view mode = argv[1];
  PosixHostsStore store(argv[2]);
  const auto start = std::chrono::steady_clock::now();
  std::string result;
  if (mode == "detect") {
    const auto detected = DetectCurrentChoice(store);
    if (const auto* error = std::get_if<OsError>(&detected)) return Fail(*error);
    const auto& detection = std::get<Detection>(detected);
    result = std::string(NameOf(detection.choice)) + " " + detection.address;
  } else if (mode == "save") {
    const auto outcome = RewriteHosts(LineChoice::Line2, store);
    if (outcome.error) return Fail(*outcome.error);
    result = "saved " + outcome.chosen_address;
  } else {
    std::fputs("usage: hosts_bench detect|save FILE\n", stderr);
    return 2;
  }
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  std::printf("%.3f ms\t%s\n", took.count(), result.c_str());
  return 0;
}
