// SPDX-License-Identifier: MIT
// The Windows hosts store on real files under Wine, with faults injected through Win32Calls:
// every call of the save path fails in turn, another program holds the file, a security program
// undoes the write. Files live in a temporary directory of the throwaway prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "hosts_path.h"
#include "rewrite.h"
#include "win32_hosts_store.h"
#include "win32_text.h"

namespace {

// Fails the call numbered `fail_at` (from 1) with `error`, counting every call made; 0 fails none.
class FaultyCalls : public Win32Calls {
 public:
  int fail_at = 0;
  DWORD error = ERROR_ACCESS_DENIED;
  int calls = 0;
  int sleeps = 0;
  // How many CreateFile calls in a row fail with `error`, from the first on.
  int busy_opens = 0;
  // Runs before each real call, e.g. to change the file behind the store's back.
  std::function<void(std::string_view call)> before;

  void Sleep(DWORD) override { ++sleeps; }

 protected:
  DWORD Fault(std::string_view call) override {
    ++calls;
    if (before) before(call);
    if (call == "CreateFile" && busy_opens > 0) {
      --busy_opens;
      return error;
    }
    return calls == fail_at ? error : 0;
  }
};

class TempFile {
 public:
  TempFile() {
    wchar_t directory[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    wchar_t name[MAX_PATH];
    GetTempFileNameW(directory, L"hst", 0, name);
    path_ = name;
  }
  ~TempFile() {
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path_.c_str());
  }
  std::string Path() const { return Narrow(path_); }
  const std::wstring& WidePath() const { return path_; }

  void Write(std::string_view content) const {
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  }

  std::string Read() const {
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
      out.append(buffer, read);
    CloseHandle(file);
    return out;
  }

 private:
  std::wstring path_;
};

std::string Original() {
  std::string text = "# hosts\r\n127.0.0.1 localhost\n";
  text += std::string(Line1Address) + "\t\t" + std::string(TargetHost) + "\r\n";
  // Large enough that reads and writes take several chunks.
  for (int i = 0; i < 3000; ++i)
    text += "10.0.0." + std::to_string(i % 250) + " host" + std::to_string(i) + ".test\r\n";
  return text;
}

std::optional<OsError> Save(Win32HostsStore& store) {
  HostsRewrite rewrite(LineChoice::Line2, "\r\n");
  return store.Rewrite(rewrite);
}

}  // namespace

TEST(win32_hosts_store, every_failing_call_leaves_the_old_or_the_new_text) {
  const std::string original = Original();
  const std::string saved = RewriteText(original, LineChoice::Line2, "\r\n");
  ASSERT_NE(original, saved);

  FaultyCalls count;
  {
    TempFile file;
    file.Write(original);
    Win32HostsStore store(file.Path(), count);
    ASSERT_FALSE(Save(store));
    ASSERT_EQ(file.Read(), saved);
  }
  ASSERT_GT(count.calls, 10);

  for (int n = 1; n <= count.calls; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    TempFile file;
    file.Write(original);
    FaultyCalls calls;
    calls.fail_at = n;
    Win32HostsStore store(file.Path(), calls);
    const auto error = Save(store);
    const std::string now = file.Read();
    if (!error) {
      // Only a failing close may pass: the data was flushed before.
      EXPECT_EQ(now, saved);
      continue;
    }
    EXPECT_EQ(error->code, ERROR_ACCESS_DENIED);
    EXPECT_EQ(error->path, file.Path());
    EXPECT_FALSE(error->text.empty());
    if (error->operation == "verify") {
      // The read-back could not be made: the save is not claimed, whatever the file holds.
      EXPECT_TRUE(now == saved || now == original);
    } else {
      EXPECT_EQ(now, original) << "failed in " << error->operation;
    }
  }
}

TEST(win32_hosts_store, retries_a_file_held_by_another_program_for_about_a_second) {
  const std::string original = Original();
  struct Case {
    int busy_opens;
    bool saved;
  };
  for (const Case c : {Case{1, true}, Case{Win32HostsStore::OpenAttempts - 1, true},
                       Case{Win32HostsStore::OpenAttempts, false}, Case{100, false}}) {
    SCOPED_TRACE("busy for " + std::to_string(c.busy_opens) + " opens");
    TempFile file;
    file.Write(original);
    FaultyCalls calls;
    calls.error = ERROR_SHARING_VIOLATION;
    calls.busy_opens = c.busy_opens;
    Win32HostsStore store(file.Path(), calls);
    const auto error = Save(store);
    EXPECT_EQ(!error, c.saved);
    EXPECT_LE(calls.sleeps, Win32HostsStore::OpenAttempts - 1);
    EXPECT_LE(calls.sleeps * static_cast<int>(Win32HostsStore::RetryPauseMs), 1500);
    if (c.saved) {
      EXPECT_EQ(file.Read(), RewriteText(original, LineChoice::Line2, "\r\n"));
    } else {
      EXPECT_EQ(error->code, ERROR_SHARING_VIOLATION);
      EXPECT_EQ(file.Read(), original);
    }
  }
}

TEST(win32_hosts_store, a_save_undone_behind_its_back_is_a_failure) {
  const std::string original = Original();
  TempFile file;
  file.Write(original);
  FaultyCalls calls;
  // The second open is the read-back: the old text is put back just before it.
  int opens = 0;
  calls.before = [&](std::string_view call) {
    if (call == "CreateFile" && ++opens == 2) file.Write(original);
  };
  Win32HostsStore store(file.Path(), calls);
  const auto error = Save(store);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->operation, "verify");
  EXPECT_EQ(file.Read(), original);
}

TEST(win32_hosts_store, keeps_the_hidden_and_system_attributes) {
  TempFile file;
  file.Write(Original());
  const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesW(file.WidePath().c_str(), attributes));
  Win32HostsStore store(file.Path());
  ASSERT_FALSE(Save(store));
  EXPECT_EQ(GetFileAttributesW(file.WidePath().c_str()) & attributes, attributes);
  EXPECT_EQ(file.Read(), RewriteText(Original(), LineChoice::Line2, "\r\n"));
}

TEST(win32_hosts_store, a_missing_file_is_an_open_error_and_stays_missing) {
  std::string path;
  {
    TempFile file;
    path = file.Path();
  }
  Win32HostsStore store(path);
  struct Sink : TextSink {
    void Feed(std::string_view) override {}
  } sink;
  const auto read_error = store.Read(sink);
  ASSERT_TRUE(read_error);
  EXPECT_EQ(read_error->operation, "open");
  EXPECT_EQ(read_error->code, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(read_error->text.empty());
  EXPECT_TRUE(Save(store));
  EXPECT_EQ(GetFileAttributesW(Widen(path).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(win32_hosts_store, hosts_path_is_the_system_directory_and_drivers_etc_hosts) {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  EXPECT_EQ(HostsPath(), Narrow(std::wstring_view(directory, length)) + "\\drivers\\etc\\hosts");

  // Without a system directory there is no path at all, not one in the current drive's root.
  FaultyCalls calls;
  calls.fail_at = 1;
  EXPECT_EQ(HostsPathFrom(calls), "");
}
