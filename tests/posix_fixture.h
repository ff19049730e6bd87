// SPDX-License-Identifier: MIT
// Helpers for tests of the Linux hosts store on real files: a private temporary directory per
// test, whole-file reads and writes, a seam that records calls and fails chosen ones, and child
// processes with a mount namespace of their own (never the machine's own /etc/hosts).
#pragma once

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "posix_calls.h"

namespace posix_test {

namespace fs = std::filesystem;

inline constexpr uid_t Nobody = 65534;
// The exit status of a child that could not set up what its case needs.
inline constexpr int Skipped = 77;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Runs `body` in a child process, in a mount namespace of its own when `private_mounts`; the
// body's return value is the child's exit status.
inline int InChild(const std::function<int()>& body, bool private_mounts = true) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (private_mounts && (::unshare(CLONE_NEWNS) != 0 ||
                           ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)) {
      ::_exit(Skipped);
    }
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Drops to the unprivileged user for good; false where that cannot be done.
inline bool BecomeNobody() {
  return ::geteuid() == 0 && ::setgroups(0, nullptr) == 0 && ::setgid(Nobody) == 0 &&
         ::setuid(Nobody) == 0;
}

// Records every call the store makes and fails the ones chosen: the call at one index of the
// sequence, and every call of one name.
class ScriptedCalls final : public PosixCalls {
 public:
  std::vector<std::string> seen;
  std::map<size_t, int> fail_at;
  std::map<std::string, int, std::less<>> fail_every;
  // Runs before the call at that index is made, e.g. to change the file behind the store's back.
  std::map<size_t, std::function<void()>> before;

 protected:
  int Fault(std::string_view call) override {
    const size_t index = seen.size();
    seen.emplace_back(call);
    if (const auto it = before.find(index); it != before.end()) it->second();
    if (const auto it = fail_every.find(call); it != fail_every.end()) return it->second;
    if (const auto it = fail_at.find(index); it != fail_at.end()) return it->second;
    return 0;
  }
};

// A private directory for one test, removed with everything in it afterwards.
class TempDirTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "linesel-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ::chmod(dir_.c_str(), 0755);
    hosts_ = dir_ / "hosts";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Names in the directory other than `expected`.
  std::vector<std::string> Leftovers(std::initializer_list<std::string> expected) const {
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const auto name = entry.path().filename().string();
      if (std::find(expected.begin(), expected.end(), name) == expected.end())
        extra.push_back(name);
    }
    return extra;
  }

  fs::path dir_;
  fs::path hosts_;
};

}  // namespace posix_test
