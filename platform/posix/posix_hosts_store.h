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

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "hosts_store.h"
#include "posix_calls.h"

// A running fingerprint of bytes, to compare what was written with what the file holds without
// keeping the text: a count, and four lanes that each fold in every fourth 8-byte word (multiply,
// then xor-shift). A byte-wise hash took 40 ms on a 30 MB file; this takes about 2. The same bytes
// give the same fingerprint however they are split between calls.
class Digest {
 public:
  void Add(std::string_view bytes) {
    size_ += bytes.size();
    if (pending_size_ > 0) {
      const size_t take = std::min(bytes.size(), Block - pending_size_);
      std::memcpy(pending_.data() + pending_size_, bytes.data(), take);
      pending_size_ += take;
      bytes.remove_prefix(take);
      if (pending_size_ < Block) return;
      Mix(pending_.data());
      pending_size_ = 0;
    }
    for (; bytes.size() >= Block; bytes.remove_prefix(Block)) Mix(bytes.data());
    std::memcpy(pending_.data(), bytes.data(), bytes.size());
    pending_size_ = bytes.size();
  }

  bool operator==(const Digest& other) const {
    return size_ == other.size_ && lanes_ == other.lanes_ &&
           std::string_view(pending_.data(), pending_size_) ==
               std::string_view(other.pending_.data(), other.pending_size_);
  }

 private:
  static constexpr size_t Block = 32;

  void Mix(const char* block) {
    for (size_t i = 0; i < lanes_.size(); ++i) {
      uint64_t word;
      std::memcpy(&word, block + 8 * i, sizeof word);
      lanes_[i] = (lanes_[i] ^ word) * 0x100000001b3u;
      lanes_[i] ^= lanes_[i] >> 29;
    }
  }

  std::array<uint64_t, 4> lanes_{0xcbf29ce484222325u, 1, 2, 3};
  std::array<char, Block> pending_{};  // the bytes of an unfinished block
  size_t pending_size_ = 0;
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
  // `directory` is the file's directory, open for the save's queue, or -1.
  std::optional<OsError> RewriteThroughTemp(const std::string& target, int directory, int fd,
                                            const struct stat& info, TextTransform& transform);
  std::optional<OsError> PutInPlaceOf(const std::string& temp, int temp_fd,
                                      const std::string& target, int directory, int fd,
                                      const struct stat& info);
  std::optional<OsError> CopyExtendedAttributes(int from, int to);
  void RemoveTemp(const std::string& temp);
  std::optional<OsError> ConfirmReplaced(const std::string& target, int temp_fd,
                                         const Digest& written);
  std::optional<OsError> RewriteInPlace(int fd, TextTransform& transform);
  std::optional<OsError> ReplaceContent(int fd, std::string_view original,
                                        std::string_view replacement);
  std::optional<OsError> ReadChunks(
      int fd, const std::function<std::optional<OsError>(std::string_view)>& on_chunk);
  std::optional<OsError> ReadAll(int fd, std::string& out);
  std::optional<OsError> WriteAll(int fd, std::string_view data);
  std::optional<OsError> WriteAt(int fd, std::string_view data);

  std::string path_;
  PosixCalls& calls_;
};
