// SPDX-License-Identifier: MIT
// Real faults, no seam: each case sets its scene with the kernel's own means (a small tmpfs, a
// read-only bind mount, another user, a link, a FIFO) in a child process with a mount namespace
// of its own, runs the start-up scan and the save there, and checks the result before the child
// ends. Fixtures live in temporary directories; the machine's own /etc/hosts is never touched.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <set>
#include <variant>

#include "detect.h"
#include "posix_fixture.h"
#include "posix_hosts_store.h"
#include "rewrite.h"
#include "test_text.h"

namespace {

using namespace posix_test;

constexpr size_t Page = 4096;

// What a case works on. `path` is handed to the store; `file` is where its text lies.
struct Scene {
  fs::path dir;
  fs::path path;
  fs::path file;
  std::string before;
  std::string after;  // the text a successful save of Line2 leaves
};

struct RealFault {
  const char* name;
  // Sets the scene up (as root, in the child's own mount namespace); false where this machine
  // cannot, which skips the case.
  std::function<bool(Scene&)> set_up;
  // Runs between the start-up scan and the save.
  std::function<void(Scene&)> between;
  bool unprivileged;
  bool scan_fails;
  SaveStatus status;
  int code;  // the error of a failed save
  // Further checks after the save.
  std::function<void(const Scene&)> check;
};

// A file of exactly `size` bytes that holds the entry for line 1, so that saving line 2 makes
// it 3 bytes longer: past a page boundary when `size` is a multiple of the page size.
std::string TextOfSize(size_t size) {
  std::string text = Entry(L1) + "\n";
  for (int i = 0; text.size() + 40 < size; ++i)
    text += "10.1." + std::to_string(i % 250) + ".1 h" + std::to_string(i) + "\n";
  text += "#" + std::string(size - text.size() - 2, 'p') + "\n";
  return text;
}

// Fills the file system that holds `dir` until it refuses another byte.
void Fill(const fs::path& dir) {
  const int fd = ::open((dir / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const std::string block(Page, 'f');
  while (::write(fd, block.data(), block.size()) > 0) {
  }
  while (::write(fd, "f", 1) > 0) {
  }
  ::close(fd);
}

bool MountSmallTmpfs(Scene& s) {
  const auto small = s.dir / "small";
  fs::create_directory(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k,nr_inodes=32,mode=0755") != 0) {
    return false;
  }
  s.path = s.file = small / "hosts";
  s.before = TextOfSize(Page * 24);
  s.after = RewriteText(s.before, LineChoice::Line2);
  WriteFile(s.file, s.before);
  return true;
}

bool BindReadOnly(const fs::path& what) {
  return ::mount(what.c_str(), what.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
         ::mount(nullptr, what.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

void Own(const fs::path& p, uid_t uid, gid_t gid, mode_t mode) {
  EXPECT_EQ(::chown(p.c_str(), uid, gid), 0);
  EXPECT_EQ(::chmod(p.c_str(), mode), 0);
}

std::function<void(const Scene&)> Keeps(uid_t uid, gid_t gid, mode_t mode) {
  return [=](const Scene& s) {
    struct stat info {};
    ASSERT_EQ(::stat(s.file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode);
    EXPECT_EQ(info.st_uid, uid);
    EXPECT_EQ(info.st_gid, gid);
  };
}

bool Plain(Scene&) {
  return true;
}

const RealFault Cases[] = {
    {"full_disk_temporary_file", MountSmallTmpfs, [](Scene& s) { Fill(s.file.parent_path()); },
     false, false, SaveStatus::Failed, ENOSPC, nullptr},
    {"full_disk_in_place",
     [](Scene& s) {
       if (!MountSmallTmpfs(s)) return false;
       fs::create_hard_link(s.file, s.file.parent_path() / "second-name");
       return true;
     },
     [](Scene& s) { Fill(s.file.parent_path()); }, false, false, SaveStatus::Failed, ENOSPC,
     [](const Scene& s) { EXPECT_EQ(ReadFile(s.file.parent_path() / "second-name"), s.before); }},
    {"read_only_bind_mount_of_the_file", [](Scene& s) { return BindReadOnly(s.file); }, nullptr,
     false, false, SaveStatus::Failed, EROFS, nullptr},
    {"read_only_bind_mount_of_the_directory", [](Scene& s) { return BindReadOnly(s.dir); }, nullptr,
     false, false, SaveStatus::Failed, EROFS, nullptr},
    {"removed_after_start_up", Plain, [](Scene& s) { fs::remove(s.file); }, false, false,
     SaveStatus::Failed, ENOENT, [](const Scene& s) { EXPECT_FALSE(fs::exists(s.path)); }},
    {"replaced_by_a_directory_after_start_up", Plain,
     [](Scene& s) {
       fs::remove(s.file);
       fs::create_directory(s.file);
     },
     false, false, SaveStatus::Failed, EISDIR,
     [](const Scene& s) { EXPECT_TRUE(fs::is_empty(s.path)); }},
    {"relative_symbolic_link",
     [](Scene& s) {
       fs::create_directory(s.dir / "etc");
       fs::rename(s.file, s.dir / "etc" / "hosts.real");
       fs::create_symlink("etc/hosts.real", s.path);
       s.file = s.dir / "etc" / "hosts.real";
       return true;
     },
     nullptr, false, false, SaveStatus::Succeeded, 0,
     [](const Scene& s) { EXPECT_EQ(fs::read_symlink(s.path), "etc/hosts.real"); }},
    {"absolute_symbolic_link_to_a_link",
     [](Scene& s) {
       fs::create_directory(s.dir / "etc");
       fs::rename(s.file, s.dir / "etc" / "hosts.real");
       fs::create_symlink(s.dir / "etc" / "hosts.real", s.dir / "etc" / "hosts.link");
       fs::create_symlink(s.dir / "etc" / "hosts.link", s.path);
       s.file = s.dir / "etc" / "hosts.real";
       return true;
     },
     nullptr, false, false, SaveStatus::Succeeded, 0,
     [](const Scene& s) {
       EXPECT_EQ(fs::read_symlink(s.path), s.dir / "etc" / "hosts.link");
       EXPECT_TRUE(fs::is_symlink(s.dir / "etc" / "hosts.link"));
     }},
    {"symbolic_link_whose_file_is_removed_after_start_up",
     [](Scene& s) {
       fs::rename(s.file, s.dir / "hosts.real");
       fs::create_symlink("hosts.real", s.path);
       s.file = s.dir / "hosts.real";
       return true;
     },
     [](Scene& s) { fs::remove(s.file); }, false, false, SaveStatus::Failed, ENOENT,
     [](const Scene& s) {
       EXPECT_TRUE(fs::is_symlink(s.path));
       EXPECT_FALSE(fs::exists(s.file)) << "created through the link";
     }},
    {"bind_mounted_from_another_file",
     [](Scene& s) {
       const auto source = s.dir / "source";
       fs::rename(s.file, source);
       WriteFile(s.path, "");
       s.file = source;
       return ::mount(source.c_str(), s.path.c_str(), nullptr, MS_BIND, nullptr) == 0;
     },
     nullptr, false, false, SaveStatus::Succeeded, 0,
     [](const Scene& s) { EXPECT_EQ(ReadFile(s.path), s.after); }},
    {"another_users_file_unprivileged",
     [](Scene& s) {
       Own(s.file, 0, 0, 0644);
       return true;
     },
     nullptr, true, false, SaveStatus::Failed, EACCES, nullptr},
    {"another_users_file_in_a_directory_anyone_may_write",
     [](Scene& s) {
       Own(s.file, 0, 0, 0644);
       Own(s.dir, 0, 0, 0777);
       return true;
     },
     nullptr, true, false, SaveStatus::Failed, EACCES, Keeps(0, 0, 0644)},
    {"own_file_in_a_directory_of_root_unprivileged",
     [](Scene& s) {
       Own(s.file, Nobody, Nobody, 0644);
       return true;
     },
     nullptr, true, false, SaveStatus::Succeeded, 0, Keeps(Nobody, Nobody, 0644)},
    {"restrictive_mode_0600_and_other_owner",
     [](Scene& s) {
       Own(s.file, 1234, 5678, 0600);
       return true;
     },
     nullptr, false, false, SaveStatus::Succeeded, 0, Keeps(1234, 5678, 0600)},
    {"read_only_mode_0440_and_other_group",
     [](Scene& s) {
       Own(s.file, 0, 5678, 0440);
       return true;
     },
     nullptr, false, false, SaveStatus::Succeeded, 0, Keeps(0, 5678, 0440)},
    {"a_fifo_in_the_files_place",
     [](Scene& s) {
       fs::remove(s.file);
       return ::mkfifo(s.file.c_str(), 0644) == 0;
     },
     nullptr, false, true, SaveStatus::Failed, EINVAL,
     [](const Scene& s) { EXPECT_TRUE(fs::is_fifo(s.path)); }},
};

// The names of everything under `dir`.
std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    names.insert(fs::relative(entry.path(), dir).string());
  }
  return names;
}

void PrintTo(const RealFault& c, std::ostream* out) {
  *out << c.name;
}

class RealFaults : public TempDirTest, public testing::WithParamInterface<RealFault> {};

TEST_P(RealFaults, the_save_matches_the_file) {
  const RealFault& c = GetParam();
  Scene scene{dir_, hosts_, hosts_,
              "127.0.0.1\tlocalhost\n# \xd6\xd0\xce\xc4\n" + Entry(L1) + "\n::1 ip6\n",
              "127.0.0.1\tlocalhost\n# \xd6\xd0\xce\xc4\n::1 ip6\n" + Entry(L2) + "\n"};
  WriteFile(hosts_, scene.before);
  ::chmod(hosts_.c_str(), 0644);
  const int status = InChild([&] {
    if (!c.set_up(scene)) return Skipped;
    if (c.unprivileged && !BecomeNobody()) return Skipped;
    PosixHostsStore store(scene.path.string());
    const auto scanned = DetectCurrentChoice(store);
    EXPECT_EQ(std::holds_alternative<OsError>(scanned), c.scan_fails);
    if (c.between) c.between(scene);
    const auto names = Listing(dir_);
    const auto outcome = RewriteHosts(LineChoice::Line2, store);
    EXPECT_EQ(outcome.status, c.status);
    if (outcome.status == SaveStatus::Failed) {
      EXPECT_EQ(outcome.error.value_or(OsError{}).code, c.code);
      if (fs::is_regular_file(scene.file)) {
        EXPECT_EQ(ReadFile(scene.file), scene.before);
      }
    } else {
      EXPECT_EQ(ReadFile(scene.file), scene.after);
    }
    if (c.check) c.check(scene);
    EXPECT_EQ(Listing(dir_), names) << "a file made or left behind";
    std::fflush(stdout);
    return testing::Test::HasFailure() ? 1 : 0;
  });
  if (status == Skipped) GTEST_SKIP() << "needs root and private mount namespaces";
  EXPECT_EQ(status, 0) << "see the child's messages above";
}

INSTANTIATE_TEST_SUITE_P(Linux, RealFaults, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<RealFault>& param) {
                           return std::string(param.param.name);
                         });

// Any size and any bytes: a 100 MB file, a line of 10 MB, every byte value. Both routes give
// exactly the rewritten text.
TEST_F(TempDirTest, files_of_any_size_and_content_are_saved_whole) {
  std::string big;
  big.reserve(100 << 20);
  for (int i = 0; big.size() < (100u << 20); ++i) {
    big += "10." + std::to_string(i % 250) + ".0.1 host" + std::to_string(i) + ".example.net\n";
    if (i % 1000 == 0) big += Entry(L1) + "\r\n";
  }
  std::string binary;
  for (int round = 0; round < 64; ++round) {
    for (int b = 0; b < 256; ++b) binary += static_cast<char>(b);
  }
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"100 MB", big},
      {"a line of 10 MB", "1.2.3.4 a\n" + std::string(10 << 20, 'x') + " " + Host + "\n#end"},
      {"binary bytes", binary + Entry(L1) + std::string("\0\r\0", 3) + binary},
  };
  for (const auto& c : cases) {
    const auto expected = RewriteText(c.text, LineChoice::Line3);
    for (const bool in_place : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (in_place ? ", in place" : ", rename"));
      fs::remove(dir_ / "second-name");
      WriteFile(hosts_, c.text);
      if (in_place) fs::create_hard_link(hosts_, dir_ / "second-name");
      PosixHostsStore store(hosts_.string());
      EXPECT_EQ(RewriteHosts(LineChoice::Line3, store).status, SaveStatus::Succeeded);
      // Compared without printing a 100 MB difference.
      EXPECT_TRUE(ReadFile(hosts_) == expected);
    }
  }
}

}  // namespace
