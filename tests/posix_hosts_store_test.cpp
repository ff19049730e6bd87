// SPDX-License-Identifier: MIT
// The Linux hosts store against real files in private temporary directories. Cases that need a
// refusal the kernel really gives (a read-only bind mount, an unprivileged user) run in a child
// process with a mount namespace of its own; they are skipped where that cannot be had.
#include "posix_hosts_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "posix_fixture.h"
#include "rewrite.h"
#include "test_text.h"

using namespace posix_test;

namespace {

struct stat StatOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

class Collector final : public TextSink {
 public:
  void Feed(std::string_view chunk) override { text.append(chunk); }
  std::string text;
};

// Makes the `nth` call named `call` fail with `error`.
class FaultyCalls final : public PosixCalls {
 public:
  FaultyCalls(std::string call, int nth, int error)
      : call_(std::move(call)), nth_(nth), error_(error) {}

 protected:
  int Fault(std::string_view call) override {
    return call == call_ && ++seen_ == nth_ ? error_ : 0;
  }

 private:
  std::string call_;
  int nth_;
  int error_;
  int seen_ = 0;
};

class PosixHostsStoreTest : public TempDirTest {
 protected:
  SaveOutcome Save(LineChoice choice, const fs::path& path) {
    PosixHostsStore store(path.string());
    return RewriteHosts(choice, store);
  }

  const std::string before_ = "127.0.0.1 localhost\n# \xd6\xd0\xce\xc4\n" + Entry(L1) + "\nz\n";
  const std::string after_line2_ =
      "127.0.0.1 localhost\n# \xd6\xd0\xce\xc4\nz\n" + Entry(L2) + "\n";
};

}  // namespace

TEST_F(PosixHostsStoreTest, reads_the_exact_bytes_in_chunks) {
  std::string text;
  for (int i = 0; text.size() < 700 * 1024; ++i) text += "0.0.0.0 h" + std::to_string(i) + "\r\n";
  text += std::string("\0\xff tail", 7);
  WriteFile(hosts_, text);
  PosixHostsStore store(hosts_.string());
  Collector sink;
  EXPECT_FALSE(store.Read(sink).has_value());
  EXPECT_EQ(sink.text, text);
}

TEST_F(PosixHostsStoreTest, a_file_that_cannot_be_read_is_reported_with_path_and_errno) {
  const struct {
    const char* name;
    std::function<void(const fs::path&)> make;
    int code;
  } cases[] = {
      {"missing", [](const fs::path&) {}, ENOENT},
      {"directory", [](const fs::path& p) { fs::create_directory(p); }, EISDIR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir_ / c.name;
    c.make(path);
    PosixHostsStore store(path.string());
    Collector sink;
    const auto error = store.Read(sink);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, c.code);
    EXPECT_EQ(error->path, path.string());
    EXPECT_FALSE(error->text.empty());
    const auto saved = Save(LineChoice::Line1, path);
    EXPECT_EQ(saved.status, SaveStatus::Failed);
  }
}

TEST_F(PosixHostsStoreTest, a_save_replaces_the_text_and_keeps_mode_and_owner) {
  const bool root = ::geteuid() == 0;
  const struct {
    mode_t mode;
    uid_t owner;
  } cases[] = {{0644, ::geteuid()},
               {0600, ::geteuid()},
               {0640, root ? Nobody : ::geteuid()},
               {0604, root ? Nobody : ::geteuid()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << c.mode << std::dec << " owner " << c.owner);
    WriteFile(hosts_, before_);
    ASSERT_EQ(::chown(hosts_.c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(::chmod(hosts_.c_str(), c.mode), 0);
    const auto outcome = Save(LineChoice::Line2, hosts_);
    EXPECT_EQ(outcome.status, SaveStatus::Succeeded);
    EXPECT_EQ(ReadFile(hosts_), after_line2_);
    const auto info = StatOf(hosts_);
    EXPECT_EQ(info.st_mode & 07777, c.mode);
    EXPECT_EQ(info.st_uid, c.owner);
    EXPECT_EQ(info.st_gid, c.owner);
    EXPECT_EQ(Leftovers({"hosts"}), std::vector<std::string>{});
  }
}

TEST_F(PosixHostsStoreTest, extended_attributes_survive_a_save) {
  WriteFile(hosts_, before_);
  if (::setxattr(hosts_.c_str(), "user.origin", "installer", 9, 0) != 0) {
    GTEST_SKIP() << "no user extended attributes here: " << std::strerror(errno);
  }
  ASSERT_EQ(Save(LineChoice::Line2, hosts_).status, SaveStatus::Succeeded);
  char value[32] = {};
  ASSERT_EQ(::getxattr(hosts_.c_str(), "user.origin", value, sizeof value), 9);
  EXPECT_EQ(std::string(value), "installer");
}

TEST_F(PosixHostsStoreTest, a_symbolic_link_stays_a_link_and_its_target_changes) {
  fs::create_directory(dir_ / "real");
  const auto target = dir_ / "real" / "hosts.real";
  const struct {
    const char* name;
    fs::path points_to;
  } cases[] = {{"relative", "real/hosts.real"}, {"absolute", target}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(target, before_);
    fs::remove(hosts_);
    fs::create_symlink(c.points_to, hosts_);
    EXPECT_EQ(Save(LineChoice::Line2, hosts_).status, SaveStatus::Succeeded);
    EXPECT_TRUE(fs::is_symlink(hosts_));
    EXPECT_EQ(fs::read_symlink(hosts_), c.points_to);
    EXPECT_EQ(ReadFile(target), after_line2_);
    EXPECT_EQ(Leftovers({"hosts", "real"}), std::vector<std::string>{});
  }
}

TEST_F(PosixHostsStoreTest, a_hard_linked_file_is_rewritten_in_place_for_every_name) {
  WriteFile(hosts_, before_);
  fs::create_hard_link(hosts_, dir_ / "hosts.other-name");
  const auto inode = StatOf(hosts_).st_ino;
  EXPECT_EQ(Save(LineChoice::Line2, hosts_).status, SaveStatus::Succeeded);
  EXPECT_EQ(ReadFile(hosts_), after_line2_);
  EXPECT_EQ(ReadFile(dir_ / "hosts.other-name"), after_line2_);
  EXPECT_EQ(StatOf(hosts_).st_ino, inode);
  EXPECT_EQ(Leftovers({"hosts", "hosts.other-name"}), std::vector<std::string>{});
}

TEST_F(PosixHostsStoreTest, a_bind_mounted_file_is_rewritten_in_place) {
  WriteFile(hosts_, before_);
  const int status = InChild([&] {
    if (::mount(hosts_.c_str(), hosts_.c_str(), nullptr, MS_BIND, nullptr) != 0) return Skipped;
    return Save(LineChoice::Line2, hosts_).status == SaveStatus::Succeeded ? 0 : 1;
  });
  if (status == Skipped) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(hosts_), after_line2_);
  EXPECT_EQ(Leftovers({"hosts"}), std::vector<std::string>{});
}

TEST_F(PosixHostsStoreTest, a_refused_write_fails_and_leaves_the_file_as_it_was) {
  WriteFile(hosts_, before_);
  ::chmod(hosts_.c_str(), 0644);
  const struct {
    const char* name;
    std::function<int()> body;
  } cases[] = {
      {"read-only bind mount",
       [&] {
         if (::mount(hosts_.c_str(), hosts_.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
             ::mount(nullptr, hosts_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
                 0) {
           return Skipped;
         }
         return Save(LineChoice::Line2, hosts_).status == SaveStatus::Failed ? 0 : 1;
       }},
      {"unprivileged user",
       [&] {
         if (::geteuid() != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) return Skipped;
         const auto outcome = Save(LineChoice::Line2, hosts_);
         return outcome.status == SaveStatus::Failed && outcome.error->code == EACCES ? 0 : 1;
       }},
  };
  std::string skipped;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int status = InChild(c.body);
    if (status == Skipped) {
      skipped += std::string(" ") + c.name;
      continue;
    }
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(hosts_), before_);
    EXPECT_EQ(Leftovers({"hosts"}), std::vector<std::string>{});
  }
  if (!skipped.empty()) GTEST_SKIP() << "needs root and mount namespaces:" << skipped;
}

TEST_F(PosixHostsStoreTest, a_failing_call_leaves_the_file_whole) {
  // `hard_link` makes the save take the in-place route.
  const struct {
    const char* call;
    int nth;
    int error;
    bool hard_link;
    SaveStatus status;
  } cases[] = {
      {"open", 2, EACCES, false, SaveStatus::Failed},  // the first opens the directory
      {"read", 1, EIO, false, SaveStatus::Failed},
      {"create_temp", 1, EACCES, false, SaveStatus::Succeeded},  // falls back to in place
      {"write", 1, ENOSPC, false, SaveStatus::Failed},
      {"fsync", 1, EIO, false, SaveStatus::Failed},
      {"fchown", 1, EPERM, false, SaveStatus::Succeeded},
      {"fsetxattr", 1, ENOTSUP, false, SaveStatus::Succeeded},
      {"rename", 1, EXDEV, false, SaveStatus::Succeeded},
      {"rename", 1, EBUSY, false, SaveStatus::Succeeded},
      {"pread", 1, EIO, true, SaveStatus::Failed},
      {"pwrite", 1, EIO, true, SaveStatus::Failed},
      {"ftruncate", 1, EIO, true, SaveStatus::Failed},
      {"fsync", 1, EIO, true, SaveStatus::Failed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.call << " #" << c.nth << " fails with " << c.error
                                    << (c.hard_link ? " (in place)" : ""));
    fs::remove(dir_ / "link");
    WriteFile(hosts_, before_);
    if (c.hard_link) fs::create_hard_link(hosts_, dir_ / "link");
    if (c.call == std::string("fsetxattr") &&
        ::setxattr(hosts_.c_str(), "user.origin", "x", 1, 0) != 0) {
      continue;
    }
    FaultyCalls calls(c.call, c.nth, c.error);
    PosixHostsStore store(hosts_.string(), calls);
    const auto outcome = RewriteHosts(LineChoice::Line2, store);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(ReadFile(hosts_), c.status == SaveStatus::Failed ? before_ : after_line2_);
    if (c.status == SaveStatus::Failed) {
      EXPECT_EQ(outcome.error->code, c.error);
    }
    EXPECT_EQ(Leftovers({"hosts", "link"}), std::vector<std::string>{});
  }
}

TEST_F(PosixHostsStoreTest, a_change_by_another_program_before_the_read_back_is_a_failure) {
  const std::string trimmed = "127.0.0.1 localhost\n";
  // `after` and `at` name the call at which the other program strikes: the first `at` after the
  // first `after` of the save.
  const struct {
    const char* name;
    bool hard_link;
    const char* after;
    const char* at;
    std::function<void(const fs::path&)> strike;
    std::string left;
  } cases[] = {
      {"lines removed after the rename", false, "rename", "fstat",
       [&](const fs::path& p) { WriteFile(p, trimmed); }, trimmed},
      {"file replaced after the rename", false, "rename", "fstat",
       [&](const fs::path& p) {
         WriteFile(p.string() + ".new", after_line2_);
         fs::rename(p.string() + ".new", p);
       },
       after_line2_},
      {"lines removed after writing in place", true, "fsync", "pread",
       [&](const fs::path& p) { WriteFile(p, trimmed); }, before_},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(dir_ / "link");
    WriteFile(hosts_, before_);
    if (c.hard_link) fs::create_hard_link(hosts_, dir_ / "link");
    posix_test::ScriptedCalls record;
    PosixHostsStore recorded(hosts_.string(), record);
    ASSERT_EQ(RewriteHosts(LineChoice::Line2, recorded).status, SaveStatus::Succeeded);
    const auto after = std::find(record.seen.begin(), record.seen.end(), c.after);
    const auto at = std::find(after, record.seen.end(), c.at);
    ASSERT_NE(at, record.seen.end());

    WriteFile(hosts_, before_);
    posix_test::ScriptedCalls calls;
    calls.before.emplace(static_cast<size_t>(at - record.seen.begin()), [&] { c.strike(hosts_); });
    PosixHostsStore store(hosts_.string(), calls);
    const auto outcome = RewriteHosts(LineChoice::Line2, store);
    EXPECT_EQ(outcome.status, SaveStatus::Failed);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_EQ(outcome.error->operation, "verify");
    EXPECT_EQ(ReadFile(hosts_), c.left);
    EXPECT_EQ(Leftovers({"hosts", "link"}), std::vector<std::string>{});
  }
}
