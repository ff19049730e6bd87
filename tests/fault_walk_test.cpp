// SPDX-License-Identifier: MIT
// The fault walk: one successful save of each route is recorded call by call, then the save is
// run again once for every call of it and every error that call can really give, with that one
// call failing. Each time the outcome must match the file: a failed save leaves it byte-identical
// (a link still a link), a save that a fallback rescues leaves exactly the new text, and no
// temporary file is ever left behind.
#include <sys/xattr.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "posix_fixture.h"
#include "posix_hosts_store.h"
#include "rewrite.h"
#include "test_text.h"

namespace {

using namespace posix_test;

// The errors each call can give on Linux for a regular file in a local directory.
const std::map<std::string, std::vector<int>, std::less<>> RealErrors = {
    {"realpath", {EACCES, ENOENT, ELOOP, EIO, ENOMEM}},
    {"open", {EACCES, EROFS, ENOENT, EIO, EINTR, EMFILE, ETXTBSY}},
    {"fstat", {EIO, EOVERFLOW}},
    {"stat", {EACCES, ENOENT, EIO}},
    {"flock", {EINTR, ENOLCK, EWOULDBLOCK}},
    {"read", {EIO, EINTR}},
    {"pread", {EIO, EINTR}},
    {"create_temp", {EACCES, EROFS, ENOSPC, EDQUOT, EIO, EMFILE}},
    {"write", {ENOSPC, EDQUOT, EIO, EFBIG, EINTR}},
    {"pwrite", {ENOSPC, EDQUOT, EIO, EFBIG, EINTR}},
    {"fsync", {EIO, ENOSPC, EDQUOT, EROFS}},
    {"fchown", {EPERM, EROFS, EIO}},
    {"fchmod", {EPERM, EROFS, EIO}},
    {"flistxattr", {EIO, ENOTSUP, ERANGE}},
    {"fgetxattr", {EIO, ENODATA, ERANGE}},
    {"fsetxattr", {ENOTSUP, ENOSPC, EDQUOT, EPERM, EIO}},
    {"ftruncate", {EIO, EFBIG, EPERM, EROFS, EINTR}},
    {"rename", {EBUSY, EXDEV, EACCES, EPERM, EROFS, ENOSPC, EDQUOT, EIO, EMLINK}},
    {"unlink", {EIO, EROFS, EBUSY, EACCES, EPERM}},
    {"close", {EIO, EINTR, ENOSPC}},
};

// What one failing call may leave.
enum class Expect {
  Unchanged,    // Failed, the file byte-identical
  Saved,        // Succeeded (retried, or rescued by a fallback), the file exactly the new text
  Unconfirmed,  // Failed: the new text is in place but could not be read back
};

const char* Name(Expect e) {
  switch (e) {
    case Expect::Unchanged:
      return "unchanged";
    case Expect::Saved:
      return "saved";
    case Expect::Unconfirmed:
      return "unconfirmed";
  }
  return "?";
}

// What a failure of the call at each index of a recorded save should give. The phases follow the
// save: take the directory's turn; read under the lock; write the temporary file; give it the
// original's attributes and rename it (a failure here falls back to rewriting in place); flush the
// directory; read back. `rename_refused`: the recorded save itself fell back after its rename.
std::vector<Expect> Expectations(const std::vector<std::string>& calls, bool rename_refused) {
  enum { Reading, Writing, Replacing, Renamed, Verifying, InPlace } phase = Reading;
  std::vector<Expect> out;
  for (const auto& call : calls) {
    Expect e = Expect::Unchanged;
    if (out.size() == 1 || out.size() == 2) {
      // Opening and locking the directory, where saves queue: without that turn the file's own
      // lock still keeps saves apart, so the save goes on.
      EXPECT_EQ(call, out.size() == 1 ? "open" : "flock");
      e = Expect::Saved;
    } else if (call == "create_temp") {
      e = Expect::Saved;
      phase = Writing;
    } else if (call == "close") {
      e = Expect::Saved;  // everything is flushed before a descriptor closes
    } else if (phase == Writing && call == "fchown") {
      phase = Replacing;
    } else if (phase == Replacing && call == "rename") {
      e = Expect::Saved;
      phase = rename_refused ? InPlace : Renamed;
      out.push_back(e);
      continue;
    } else if (phase == Renamed && call == "fstat") {
      phase = Verifying;
    } else if (phase == InPlace && call == "unlink") {
      e = Expect::Saved;  // removed on the second try
    }
    if (phase == Replacing || phase == Renamed) e = Expect::Saved;
    if (phase == Verifying && call != "close") e = Expect::Unconfirmed;
    out.push_back(e);
  }
  return out;
}

bool Retried(std::string_view call, int error) {
  return error == EINTR && (call == "read" || call == "write" || call == "pread" ||
                            call == "pwrite" || call == "flock");
}

struct Route {
  const char* name;
  bool symlink;             // the path is a relative symbolic link to the file
  bool hard_link;           // the file has a second name: rewritten in place
  bool rename_refused;      // every rename fails with EBUSY, as on a bind-mounted file
  bool extended_attribute;  // the file carries one, so that copying it is walked too
};

class FaultWalk : public TempDirTest {
 protected:
  const std::string before_ =
      "127.0.0.1\tlocalhost\r\n# \xd6\xd0\xce\xc4 comment\n" + Entry(L1) + "\n::1 ip6\nlast";
  const std::string after_ =
      "127.0.0.1\tlocalhost\n# \xd6\xd0\xce\xc4 comment\n::1 ip6\nlast\n" + Entry(L3) + "\n";

  fs::path Real() const { return dir_ / "real" / "hosts.real"; }

  void Prepare(const Route& route) {
    for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
    fs::create_directory(dir_ / "real");
    WriteFile(Real(), before_);
    ::chmod(Real().c_str(), 0644);
    if (route.extended_attribute) ::setxattr(Real().c_str(), "user.origin", "setup", 5, 0);
    if (route.hard_link) fs::create_hard_link(Real(), dir_ / "real" / "second-name");
    hosts_ = route.symlink ? dir_ / "hosts" : Real();
    if (route.symlink) fs::create_symlink("real/hosts.real", hosts_);
  }

  void CheckFile(const Route& route, const std::string& expected) {
    EXPECT_EQ(ReadFile(Real()), expected);
    if (route.symlink) {
      EXPECT_TRUE(fs::is_symlink(dir_ / "hosts"));
      EXPECT_EQ(fs::read_symlink(dir_ / "hosts"), "real/hosts.real");
    }
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(dir_ / "real")) {
      const auto name = entry.path().filename().string();
      if (name != "hosts.real" && name != "second-name") extra.push_back(name);
    }
    EXPECT_EQ(extra, std::vector<std::string>{}) << "left behind";
    if (route.hard_link) {
      EXPECT_EQ(ReadFile(dir_ / "real" / "second-name"), expected);
    }
  }

  // Records the calls of a save that succeeds.
  std::vector<std::string> Record(const Route& route) {
    Prepare(route);
    ScriptedCalls calls;
    if (route.rename_refused) calls.fail_every.emplace("rename", EBUSY);
    PosixHostsStore store(hosts_.string(), calls);
    EXPECT_EQ(RewriteHosts(LineChoice::Line3, store).status, SaveStatus::Succeeded);
    CheckFile(route, after_);
    return calls.seen;
  }

  // Walks every call and error; returns how many faults were injected.
  int Walk(const Route& route) {
    const auto calls = Record(route);
    const auto expectations = Expectations(calls, route.rename_refused);
    int injected = 0;
    for (size_t index = 0; index < calls.size(); ++index) {
      const auto& call = calls[index];
      if (route.rename_refused && call == "rename") continue;
      const auto errors = RealErrors.find(call);
      if (errors == RealErrors.end()) {
        ADD_FAILURE() << "no errors listed for " << call;
        continue;
      }
      for (const int error : errors->second) {
        // A file system without extended attributes says ENOTSUP; a file that has one is not on
        // such a file system.
        if (route.extended_attribute && call == "flistxattr" && error == ENOTSUP) continue;
        const Expect expect = Retried(call, error) ? Expect::Saved : expectations[index];
        SCOPED_TRACE(testing::Message()
                     << route.name << ": call " << index << " (" << call << ") fails with "
                     << std::strerror(error) << ", expected " << Name(expect));
        Prepare(route);
        ScriptedCalls faulty;
        if (route.rename_refused) faulty.fail_every.emplace("rename", EBUSY);
        faulty.fail_at.emplace(index, error);
        PosixHostsStore store(hosts_.string(), faulty);
        const auto outcome = RewriteHosts(LineChoice::Line3, store);
        ++injected;
        const bool saved = outcome.status == SaveStatus::Succeeded;
        EXPECT_EQ(saved, expect == Expect::Saved);
        CheckFile(route, expect == Expect::Unchanged ? before_ : after_);
        if (!saved) {
          EXPECT_EQ(outcome.error.value_or(OsError{}).code, error);
          EXPECT_EQ(outcome.error.value_or(OsError{}).path, hosts_.string());
        }
        if (expect == Expect::Saved && route.extended_attribute && !route.hard_link) {
          char value[16] = {};
          EXPECT_EQ(::getxattr(Real().c_str(), "user.origin", value, sizeof value), 5);
        }
      }
    }
    return injected;
  }
};

TEST_F(FaultWalk, every_failing_call_of_every_route_leaves_a_whole_file) {
  WriteFile(hosts_, "x");
  const bool xattrs = ::setxattr(hosts_.c_str(), "user.origin", "setup", 5, 0) == 0;
  const Route routes[] = {
      {"rename", false, false, false, xattrs},
      {"rename through a relative link", true, false, false, false},
      {"in place (hard link)", false, true, false, false},
      {"in place after a refused rename", true, false, true, xattrs},
  };
  int total = 0;
  for (const auto& route : routes) {
    const int injected = Walk(route);
    std::printf("fault walk, %s: %d injected faults\n", route.name, injected);
    EXPECT_GT(injected, 40);
    total += injected;
  }
  std::printf("fault walk: %d injected faults in all\n", total);
}

TEST_F(FaultWalk, a_temporary_file_that_cannot_be_removed_is_left_private) {
  // Removal fails every time: the one case where a temporary file stays. It must not be readable
  // by others beyond what the hosts file itself allows, and the hosts file decides the outcome.
  const struct {
    const char* name;
    const char* fails;
    int error;
    SaveStatus status;
  } cases[] = {
      {"write fails", "write", ENOSPC, SaveStatus::Failed},
      {"rename refused", "rename", EBUSY, SaveStatus::Succeeded},
  };
  const Route route{"plain", false, false, false, false};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Prepare(route);
    ::chmod(Real().c_str(), 0640);
    ScriptedCalls calls;
    calls.fail_every.emplace("unlink", EIO);
    calls.fail_every.emplace(c.fails, c.error);
    PosixHostsStore store(hosts_.string(), calls);
    EXPECT_EQ(RewriteHosts(LineChoice::Line3, store).status, c.status);
    EXPECT_EQ(ReadFile(Real()), c.status == SaveStatus::Succeeded ? after_ : before_);
    EXPECT_EQ(std::count(calls.seen.begin(), calls.seen.end(), "unlink"), 2) << "one retry";
    int left = 0;
    for (const auto& entry : fs::directory_iterator(dir_ / "real")) {
      const auto name = entry.path().filename().string();
      if (name == "hosts.real") continue;
      ++left;
      EXPECT_EQ(name.rfind(".hosts.real.", 0), 0u) << name;
      struct stat info {};
      ASSERT_EQ(::stat(entry.path().c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777 & ~0640u, 0u) << std::oct << (info.st_mode & 07777);
    }
    EXPECT_EQ(left, 1);
  }
}

}  // namespace
