// SPDX-License-Identifier: MIT
#include "win32_hosts_store.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "hosts_path.h"
#include "win32_text.h"

namespace {

constexpr DWORD ChunkSize = 64 * 1024;

Win32Calls& RealCalls() {
  static Win32Calls calls;
  return calls;
}

// Closes a handle when it goes out of scope. Errors of that close change nothing: the data has
// been flushed by then, or the save has already failed, and the read-back judges the result.
class Handle {
 public:
  Handle(Win32Calls& calls, HANDLE handle) : calls_(calls), handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { calls_.CloseHandle(handle_); }

 private:
  Win32Calls& calls_;
  HANDLE handle_;
};

bool HeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

std::string HostsPathFrom(Win32Calls& calls) {
  std::wstring directory(MAX_PATH, L'\0');
  UINT length = calls.GetSystemDirectory(directory.data(), static_cast<UINT>(directory.size()));
  if (length >= directory.size()) {
    directory.resize(length);
    length = calls.GetSystemDirectory(directory.data(), static_cast<UINT>(directory.size()));
  }
  // Without a system directory there is no hosts file to name: an empty path fails to open,
  // where "\drivers\etc\hosts" alone would name a file in the current drive's root.
  if (length == 0 || length >= directory.size()) return {};
  directory.resize(length);
  return Narrow(directory) + "\\drivers\\etc\\hosts";
}

std::string HostsPath() {
  return HostsPathFrom(RealCalls());
}

Win32HostsStore::Win32HostsStore(std::string path)
    : Win32HostsStore(std::move(path), RealCalls()) {}

Win32HostsStore::Win32HostsStore(std::string path, Win32Calls& calls)
    : path_(std::move(path)), wide_path_(Widen(path_)), calls_(calls) {}

OsError Win32HostsStore::Error(std::string operation, DWORD code) const {
  return OsError{std::move(operation), path_, static_cast<long>(code), SystemMessage(code)};
}

std::optional<OsError> Win32HostsStore::Open(DWORD access, DWORD share, HANDLE& file) {
  for (int attempt = 1;; ++attempt) {
    file = calls_.CreateFile(wide_path_.c_str(), access, share, OPEN_EXISTING);
    if (file != INVALID_HANDLE_VALUE) return std::nullopt;
    const DWORD error = ::GetLastError();
    if (!HeldByAnother(error) || attempt == OpenAttempts) return Error("open", error);
    calls_.Sleep(RetryPauseMs);
  }
}

std::optional<OsError> Win32HostsStore::Read(TextSink& sink) {
  HANDLE file;
  if (auto error =
          Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, file)) {
    return error;
  }
  Handle closer(calls_, file);
  // A hosts file is small: it is read whole, then handed over.
  std::string text;
  if (auto error = ReadAll(file, text)) return error;
  sink.Feed(text);
  return std::nullopt;
}

std::optional<OsError> Win32HostsStore::Rewrite(TextTransform& transform) {
  std::string replacement;
  {
    // Others may read while we save, but not write.
    HANDLE file;
    if (auto error = Open(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, file)) return error;
    Handle closer(calls_, file);
    std::string original;
    if (auto error = ReadAll(file, original)) return error;
    transform.Feed(original, replacement);
    transform.Finish(replacement);
    if (auto error = WriteWhole(file, replacement)) {
      // Whatever went wrong, the old text goes back.
      WriteWhole(file, original);
      return error;
    }
  }
  return Verify(replacement);
}

std::optional<OsError> Win32HostsStore::ReadAll(HANDLE file, std::string& out) {
  out.clear();
  const auto buffer = std::make_unique_for_overwrite<char[]>(ChunkSize);
  while (true) {
    DWORD read = 0;
    if (!calls_.ReadFile(file, buffer.get(), ChunkSize, &read))
      return Error("read", ::GetLastError());
    if (read == 0) return std::nullopt;
    out.append(buffer.get(), read);
  }
}

// Writes `data` over the whole file from offset 0, cuts the file to that length and flushes it.
std::optional<OsError> Win32HostsStore::WriteWhole(HANDLE file, std::string_view data) {
  if (!calls_.SetFilePointerEx(file, 0)) return Error("write", ::GetLastError());
  while (!data.empty()) {
    const DWORD size = static_cast<DWORD>(std::min<size_t>(data.size(), ChunkSize));
    DWORD written = 0;
    if (!calls_.WriteFile(file, data.data(), size, &written))
      return Error("write", ::GetLastError());
    if (written == 0) return Error("write", ERROR_WRITE_FAULT);
    data.remove_prefix(written);
  }
  if (!calls_.SetEndOfFile(file)) return Error("write", ::GetLastError());
  if (!calls_.FlushFileBuffers(file)) return Error("write", ::GetLastError());
  return std::nullopt;
}

// A save counts only when the file holds what was written once it has been closed.
std::optional<OsError> Win32HostsStore::Verify(std::string_view expected) {
  HANDLE file;
  if (auto error =
          Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, file)) {
    error->operation = "verify";
    return error;
  }
  Handle closer(calls_, file);
  std::string found;
  if (auto error = ReadAll(file, found)) {
    error->operation = "verify";
    return error;
  }
  if (found != expected) return Error("verify", ERROR_WRITE_FAULT);
  return std::nullopt;
}
