// SPDX-License-Identifier: MIT
// The hosts file on a POSIX system. A save never leaves a half-written file and keeps the file
// itself: the new text goes to a private temporary file beside it, which takes the original's
// owner, mode and extended attributes and is renamed over it. Where a rename cannot serve (a
// bind-mounted file gives EBUSY; a file with several hard links would lose them) the file is
// rewritten in place through the handle it was read from, and its old bytes are put back should
// that fail. A symbolic link stays a link: the file it points to is what changes. Either way the
// file is read back afterwards, and a save whose bytes are not what the file then holds has
// failed. Saves from several processes take turns through an advisory lock on the file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hosts_store.h"
#include "posix_calls.h"

// A running fingerprint of bytes (FNV-1a and a count), to compare what was written with what the
// file holds without keeping the text.
class Digest {
 public:
  void Add(std::string_view bytes) {
    for (const char c : bytes) hash_ = (hash_ ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    size_ += bytes.size();
  }
  bool operator==(const Digest&) const = default;

 private:
  unsigned long long hash_ = 0xcbf29ce484222325u;
  size_t size_ = 0;
};

class PosixHostsStore final : public HostsStore {
 public:
  explicit PosixHostsStore(std::string path);
  PosixHostsStore(std::string path, PosixCalls& calls) : path_(std::move(path)), calls_(calls) {}

  std::string Path() const override { return path_; }
  std::optional<OsError> Read(TextSink& sink) override;
  std::optional<OsError> Rewrite(TextTransform& transform) override;

 private:
  OsError Error(std::string operation, int code) const;
  std::optional<OsError> OpenLocked(const std::string& target, int& fd, struct stat& info);
  std::optional<OsError> RewriteThroughTemp(const std::string& target, int fd,
                                            const struct stat& info, TextTransform& transform);
  std::optional<OsError> PutInPlaceOf(const std::string& temp, int temp_fd,
                                      const std::string& target, int fd, const struct stat& info);
  std::optional<OsError> CopyExtendedAttributes(int from, int to);
  void RemoveTemp(const std::string& temp);
  std::optional<OsError> ConfirmReplaced(const std::string& target, int temp_fd,
                                         const Digest& written);
  std::optional<OsError> RewriteInPlace(int fd, TextTransform& transform);
  std::optional<OsError> ReplaceContent(int fd, std::string_view original,
                                        std::string_view replacement);
  std::optional<OsError> ReadAll(int fd, std::string& out);
  std::optional<OsError> WriteAll(int fd, std::string_view data);
  std::optional<OsError> WriteAt(int fd, std::string_view data);

  std::string path_;
  PosixCalls& calls_;
};
