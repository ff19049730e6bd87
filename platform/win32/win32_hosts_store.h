// SPDX-License-Identifier: MIT
// The hosts file on Windows. A save keeps the file itself: it is opened once for reading and
// writing (a refusal there changes nothing), read through that handle, and the new text is
// written over it from offset 0, cut to length and flushed. So the file keeps its ACL, owner,
// attributes (hidden, system) and identity, which a rename or ReplaceFileW would not all keep. If
// any write fails, the old bytes are written back. A file that another program holds is retried
// for about a second. After the save the file is read back and compared, since a security
// program can undo a write to the hosts file without telling the writer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hosts_store.h"
#include "win32_calls.h"

class Win32HostsStore final : public HostsStore {
 public:
  explicit Win32HostsStore(std::string path);
  Win32HostsStore(std::string path, Win32Calls& calls);

  std::string Path() const override { return path_; }
  std::optional<OsError> Read(TextSink& sink) override;
  std::optional<OsError> Rewrite(TextTransform& transform) override;

  // How often a file held by another program is tried, and the pause between tries.
  static constexpr int OpenAttempts = 10;
  static constexpr DWORD RetryPauseMs = 100;

 private:
  OsError Error(std::string operation, DWORD code) const;
  std::optional<OsError> Open(DWORD access, DWORD share, HANDLE& file);
  std::optional<OsError> ReadAll(HANDLE file, std::string& out);
  std::optional<OsError> WriteWhole(HANDLE file, std::string_view data);
  std::optional<OsError> Verify(std::string_view expected);

  std::string path_;
  std::wstring wide_path_;
  Win32Calls& calls_;
};

// The hosts path for a system directory reported through `calls`.
std::string HostsPathFrom(Win32Calls& calls);
