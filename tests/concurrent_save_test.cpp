// SPDX-License-Identifier: MIT
// Saves from several processes at once, on every route: each save takes its turn under the lock
// on the file, so the file is always one complete result (every other line intact, exactly one
// entry), a reader never sees a mix, and no save reports a failure because of another.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <variant>

#include "detect.h"
#include "posix_fixture.h"
#include "posix_hosts_store.h"
#include "rewrite.h"
#include "test_text.h"

namespace {

using namespace posix_test;

constexpr int Rounds = 250;
constexpr LineChoice WriterChoices[] = {LineChoice::Line1, LineChoice::Line2, LineChoice::Line3,
                                        LineChoice::Line2};

class TextCollector final : public TextSink {
 public:
  void Feed(std::string_view chunk) override { text.append(chunk); }
  std::string text;
};

class ConcurrentSaves : public TempDirTest {
 protected:
  const std::string kept_ =
      "127.0.0.1\tlocalhost\n# \xd6\xd0\xce\xc4\n10.0.0.1 " + Host + ".cn\n::1 ip6\n";

  // Whether `text` is one complete result of some save.
  bool Complete(const std::string& text) const {
    for (const auto& address : {L1, L2, L3}) {
      if (text == kept_ + Entry(address) + "\n") return true;
    }
    return false;
  }

  // Returns the number of saves and reads that went wrong.
  int Race(const fs::path& path, const fs::path& file) {
    std::vector<pid_t> children;
    for (const LineChoice choice : WriterChoices) {
      children.push_back(::fork());
      if (children.back() != 0) continue;
      ::alarm(120);  // a save that hangs fails the test instead of stopping it
      int failed = 0;
      for (int round = 0; round < Rounds; ++round) {
        PosixHostsStore store(path.string());
        const auto outcome = RewriteHosts(choice, store);
        if (outcome.status != SaveStatus::Succeeded) {
          std::fprintf(stderr, "save failed: %s %s\n", outcome.error->operation.c_str(),
                       outcome.error->text.c_str());
          ++failed;
        }
      }
      ::_exit(failed > 0);
    }
    // A reader at the same time, as a starting program would read.
    children.push_back(::fork());
    if (children.back() == 0) {
      ::alarm(120);
      int torn = 0;
      for (int round = 0; round < Rounds * 4; ++round) {
        PosixHostsStore store(path.string());
        TextCollector text;
        if (store.Read(text) || !Complete(text.text)) ++torn;
        const auto detected = DetectCurrentChoice(store);
        if (std::holds_alternative<OsError>(detected) ||
            std::get<Detection>(detected).choice == LineChoice::Automatic) {
          ++torn;
        }
      }
      ::_exit(torn > 0 ? 2 : 0);
    }
    int wrong = 0;
    for (const pid_t child : children) {
      int status = 0;
      ::waitpid(child, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++wrong;
    }
    if (!Complete(ReadFile(file))) ++wrong;
    return wrong;
  }
};

TEST_F(ConcurrentSaves, every_route_gives_one_complete_result) {
  const struct {
    const char* name;
    std::function<bool(const fs::path&)> set_up;
  } routes[] = {
      {"rename", [](const fs::path&) { return true; }},
      {"in place (hard link)",
       [](const fs::path& file) {
         fs::create_hard_link(file, file.parent_path() / "second-name");
         return true;
       }},
      {"in place (bind mount)",
       [](const fs::path& file) {
         return ::mount(file.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) == 0;
       }},
  };
  int rounds = 0;
  for (const auto& route : routes) {
    SCOPED_TRACE(route.name);
    fs::remove(dir_ / "second-name");
    WriteFile(hosts_, kept_ + Entry(L1) + "\n");
    const int status = InChild([&] {
      if (!route.set_up(hosts_)) return Skipped;
      return Race(hosts_, hosts_);
    });
    if (status == Skipped) {
      std::printf("concurrent saves, %s: skipped (no private mount namespace)\n", route.name);
      continue;
    }
    EXPECT_EQ(status, 0) << "saves or reads that went wrong";
    EXPECT_TRUE(Complete(ReadFile(hosts_)));
    EXPECT_EQ(Leftovers({"hosts", "second-name"}), std::vector<std::string>{});
    rounds += Rounds * static_cast<int>(std::size(WriterChoices));
    std::printf("concurrent saves, %s: %zu writers x %d rounds and a reader\n", route.name,
                std::size(WriterChoices), Rounds);
  }
  std::printf("concurrent saves: %d in all\n", rounds);
}

// Waits until `process` waits for a lock, for at most five seconds.
bool WaitsForALock(pid_t process) {
  const std::string waiting = "-> FLOCK  ADVISORY  WRITE " + std::to_string(process) + " ";
  for (int i = 0; i < 500; ++i) {
    if (ReadFile("/proc/locks").find(waiting) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST_F(ConcurrentSaves, a_save_that_waited_reads_what_the_other_wrote) {
  const std::string added = "10.9.9.9 added-while-waiting\n";
  const struct {
    const char* name;
    bool replace;  // the other writer renames a new file into place; else it writes in place
  } cases[] = {{"replaced while waiting", true}, {"changed in place while waiting", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(hosts_, kept_ + Entry(L1) + "\n");
    const int held = ::open(hosts_.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const pid_t saver = ::fork();
    if (saver == 0) {
      ::close(held);  // a copy of it would hold the lock this save waits for
      ::alarm(20);
      PosixHostsStore store(hosts_.string());
      ::_exit(RewriteHosts(LineChoice::Line2, store).status == SaveStatus::Succeeded ? 0 : 1);
    }
    EXPECT_TRUE(WaitsForALock(saver));
    if (c.replace) {
      WriteFile(dir_ / "hosts.new", kept_ + added + Entry(L1) + "\n");
      fs::rename(dir_ / "hosts.new", hosts_);
    } else {
      WriteFile(hosts_, kept_ + added + Entry(L1) + "\n");
    }
    ::close(held);
    int status = 0;
    ::waitpid(saver, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(hosts_), kept_ + added + Entry(L2) + "\n");
    EXPECT_EQ(Leftovers({"hosts"}), std::vector<std::string>{});
  }
}

}  // namespace
