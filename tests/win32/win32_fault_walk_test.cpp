// SPDX-License-Identifier: MIT
// The fault walk on the Windows store, under Wine. One successful save is recorded call by call;
// then it is run again once for every call and every error that call can really give, with that
// one call failing. Before the file is closed a failure must leave it byte-identical (the old text
// goes back); a failing read-back leaves the new text but is never reported as a success; a
// failing close changes nothing, and a file that another program holds is tried again.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "rewrite.h"
#include "win32_hosts_store.h"
#include "win32_text.h"

namespace {

// Records every call and fails the one at `fail_at` with `error`.
class ScriptedCalls final : public Win32Calls {
 public:
  std::vector<std::string> seen;
  size_t fail_at = std::numeric_limits<size_t>::max();
  DWORD error = 0;

  void Sleep(DWORD) override {}

 protected:
  DWORD Fault(std::string_view call) override {
    const size_t index = seen.size();
    seen.emplace_back(call);
    return index == fail_at ? error : 0;
  }
};

// The errors each call can give for a local file.
const std::map<std::string, std::vector<DWORD>, std::less<>> RealErrors = {
    {"CreateFile",
     {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_FILE_NOT_FOUND,
      ERROR_PATH_NOT_FOUND, ERROR_WRITE_PROTECT, ERROR_TOO_MANY_OPEN_FILES}},
    {"ReadFile", {ERROR_IO_DEVICE, ERROR_CRC, ERROR_LOCK_VIOLATION, ERROR_NOT_ENOUGH_MEMORY}},
    {"SetFilePointerEx", {ERROR_INVALID_PARAMETER, ERROR_IO_DEVICE}},
    {"WriteFile",
     {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL, ERROR_WRITE_PROTECT, ERROR_LOCK_VIOLATION,
      ERROR_IO_DEVICE, ERROR_NOT_ENOUGH_QUOTA}},
    {"SetEndOfFile",
     {ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_USER_MAPPED_FILE, ERROR_IO_DEVICE}},
    {"FlushFileBuffers", {ERROR_IO_DEVICE, ERROR_DISK_FULL, ERROR_WRITE_PROTECT}},
    {"CloseHandle", {ERROR_INVALID_HANDLE, ERROR_IO_DEVICE}},
};

enum class Expect {
  Unchanged,    // Failed, the file byte-identical
  Saved,        // Succeeded, exactly the new text
  Unconfirmed,  // Failed: the new text is there but could not be read back
};

// What a failure of the call at each index should give: the save writes through the handle it
// read from and closes it; everything after that first close is the read-back.
std::vector<Expect> Expectations(const std::vector<std::string>& calls) {
  std::vector<Expect> out;
  bool closed = false;
  for (const auto& call : calls) {
    if (call == "CloseHandle") {
      out.push_back(Expect::Saved);
      closed = true;
    } else {
      out.push_back(closed ? Expect::Unconfirmed : Expect::Unchanged);
    }
  }
  return out;
}

bool HeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

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

class Win32FaultWalk : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t directory[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, directory), 0u);
    wchar_t name[MAX_PATH];
    ASSERT_NE(GetTempFileNameW(directory, L"hfw", 0, name), 0u);
    path_ = name;
  }
  void TearDown() override { DeleteFileW(path_.c_str()); }

  void Write(std::string_view text) {
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  }

  std::string Read() {
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    CloseHandle(file);
    return out;
  }

  std::wstring path_;
};

TEST_F(Win32FaultWalk, every_failing_call_with_every_error_leaves_a_whole_file) {
  std::string before = "# \xd6\xd0\xce\xc4\r\n127.0.0.1 localhost\r\n" + std::string(Line1Address) +
                       "\t\t" + std::string(TargetHost) + "\r\n";
  // Several chunks, so that reads and writes are walked more than once.
  for (int i = 0; before.size() < 150 * 1024; ++i) {
    before += "10.0.0." + std::to_string(i % 250) + " host" + std::to_string(i) + ".test\r\n";
  }
  const std::string after = RewriteText(before, LineChoice::Line3, "\r\n");

  Write(before);
  ScriptedCalls record;
  Win32HostsStore recorded(Narrow(path_), record);
  ASSERT_EQ(RewriteHosts(LineChoice::Line3, recorded).status, SaveStatus::Succeeded);
  ASSERT_EQ(Read(), after);
  const auto expectations = Expectations(record.seen);

  int injected = 0;
  for (size_t index = 0; index < record.seen.size(); ++index) {
    const auto& call = record.seen[index];
    const auto errors = RealErrors.find(call);
    ASSERT_NE(errors, RealErrors.end()) << "no errors listed for " << call;
    for (const DWORD error : errors->second) {
      const Expect expect =
          call == "CreateFile" && HeldByAnother(error) ? Expect::Saved : expectations[index];
      SCOPED_TRACE(testing::Message() << "call " << index << " (" << call << ") fails with "
                                      << error << ", expected " << Name(expect));
      Write(before);
      ScriptedCalls calls;
      calls.fail_at = index;
      calls.error = error;
      Win32HostsStore store(Narrow(path_), calls);
      const auto outcome = RewriteHosts(LineChoice::Line3, store);
      ++injected;
      EXPECT_EQ(outcome.status == SaveStatus::Succeeded, expect == Expect::Saved);
      EXPECT_TRUE(Read() == (expect == Expect::Unchanged ? before : after));
      if (outcome.status == SaveStatus::Failed) {
        EXPECT_EQ(outcome.error.value_or(OsError{}).code, static_cast<long>(error));
      }
    }
  }
  std::printf("Windows fault walk: %d injected faults over %zu calls\n", injected,
              record.seen.size());
  EXPECT_GT(injected, 50);
}

}  // namespace
