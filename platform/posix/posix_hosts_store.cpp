// SPDX-License-Identifier: MIT
#include "posix_hosts_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include "hosts_path.h"

namespace {

constexpr size_t ChunkSize = size_t{256} * 1024;
// The new text goes to the temporary file in pieces of about this size.
constexpr size_t WriteAtLeast = size_t{1024} * 1024;
constexpr int MaxLockAttempts = 100;

// Chunks are read into page-aligned memory: the kernel copies into a buffer 16 bytes off a page
// boundary (where new[] puts it) about three times slower, which made reading a 30 MB file take
// 24 ms instead of 7.
constexpr std::align_val_t PageAlignment{4096};
struct AlignedDelete {
  void operator()(char* p) const { ::operator delete[](p, PageAlignment); }
};
std::unique_ptr<char[], AlignedDelete> ChunkBuffer() {
  return std::unique_ptr<char[], AlignedDelete>(
      static_cast<char*>(::operator new[](ChunkSize, PageAlignment)));
}

PosixCalls& RealCalls() {
  static PosixCalls calls;
  return calls;
}

// Closes a descriptor when it goes out of scope. Errors of that close change nothing: the data
// has been flushed by then, or the save has already failed.
class Descriptor {
 public:
  Descriptor(PosixCalls& calls, int fd) : calls_(calls), fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) calls_.Close(fd_);
  }
  int Release() { return std::exchange(fd_, -1); }

 private:
  PosixCalls& calls_;
  int fd_;
};

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string HostsPath() {
  return "/etc/hosts";
}

PosixHostsStore::PosixHostsStore(std::string path) : path_(std::move(path)), calls_(RealCalls()) {}

OsError PosixHostsStore::Error(std::string operation, int code) const {
  return OsError{std::move(operation), path_, code, std::generic_category().message(code)};
}

std::optional<OsError> PosixHostsStore::Read(TextSink& sink) {
  // O_NONBLOCK: a FIFO in the hosts file's place must not hang the program.
  const int fd = calls_.Open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Error("open", errno);
  Descriptor closer(calls_, fd);
  struct stat info {};
  if (calls_.Fstat(fd, &info) != 0) return Error("stat", errno);
  if (!S_ISREG(info.st_mode)) return Error("open", S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
  // Waits for a save in progress. Without a lock the file is read all the same.
  while (calls_.Flock(fd, LOCK_SH) != 0 && errno == EINTR) {
  }
  return ReadChunks(fd, [&](std::string_view chunk) -> std::optional<OsError> {
    sink.Feed(chunk);
    return std::nullopt;
  });
}

// Reads `fd` from its current offset to the end, handing each chunk to `on_chunk`; stops at the
// first error, of the read or of `on_chunk`.
std::optional<OsError> PosixHostsStore::ReadChunks(
    int fd, const std::function<std::optional<OsError>(std::string_view)>& on_chunk) {
  const auto buffer = ChunkBuffer();
  while (true) {
    const ssize_t n = calls_.Read(fd, buffer.get(), ChunkSize);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Error("read", errno);
    if (n == 0) return std::nullopt;
    if (auto error = on_chunk(std::string_view(buffer.get(), static_cast<size_t>(n)))) {
      return error;
    }
  }
}

std::optional<OsError> PosixHostsStore::Rewrite(TextTransform& transform) {
  std::unique_ptr<char, decltype(&std::free)> resolved(calls_.Realpath(path_.c_str(), nullptr),
                                                       &std::free);
  if (!resolved) return Error("open", errno);
  const std::string target = resolved.get();

  // Saves queue on the directory, which stays put while the file is replaced. Queued on the file
  // alone, a save that waited for one that replaced it would lose its turn to every save that
  // found the new file first. Without this lock the file's own still keeps saves apart.
  const int directory =
      calls_.Open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  Descriptor directory_closer(calls_, directory);
  if (directory >= 0) {
    while (calls_.Flock(directory, LOCK_EX) != 0 && errno == EINTR) {
    }
  }

  int fd = -1;
  struct stat info {};
  if (auto error = OpenLocked(target, fd, info)) return error;
  Descriptor closer(calls_, fd);

  // A rename would give the other names of a hard-linked file the old text.
  if (info.st_nlink > 1) return RewriteInPlace(fd, transform);
  return RewriteThroughTemp(target, directory, fd, info, transform);
}

// Opens the file for reading and writing, without truncating it (a refusal here changes
// nothing), and takes the save lock. A save that waited for another one reopens the path when the
// other replaced the file, so that it reads what the other wrote.
std::optional<OsError> PosixHostsStore::OpenLocked(const std::string& target, int& fd,
                                                   struct stat& info) {
  for (int attempt = 0; attempt < MaxLockAttempts; ++attempt) {
    fd = calls_.Open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return Error("open", errno);
    Descriptor closer(calls_, fd);
    if (calls_.Fstat(fd, &info) != 0) return Error("stat", errno);
    if (!S_ISREG(info.st_mode)) return Error("open", EINVAL);
    int locked;
    while ((locked = calls_.Flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) return Error("lock", errno);
    struct stat now {};
    if (calls_.Stat(target.c_str(), &now) != 0) return Error("stat", errno);
    if (SameFile(now, info)) {
      closer.Release();
      return std::nullopt;
    }
  }
  return Error("lock", EAGAIN);
}

std::optional<OsError> PosixHostsStore::RewriteThroughTemp(const std::string& target, int directory,
                                                           int fd, const struct stat& info,
                                                           TextTransform& transform) {
  // Created exclusively (never through a link) with mode 0600, beside the file so that the rename
  // stays on one file system.
  std::string temp = DirectoryOf(target) + "/." + BaseNameOf(target) + ".XXXXXX";
  const int temp_fd = calls_.CreateTemp(temp.data());
  if (temp_fd < 0) return RewriteInPlace(fd, transform);  // e.g. a directory we may not write
  Descriptor temp_closer(calls_, temp_fd);
  const auto fail = [&](OsError error) {
    RemoveTemp(temp);
    return std::optional<OsError>(std::move(error));
  };
  Digest written;

  std::string out;
  out.reserve(WriteAtLeast + ChunkSize * 2);
  auto streamed = ReadChunks(fd, [&](std::string_view chunk) -> std::optional<OsError> {
    transform.Feed(chunk, out);
    if (out.size() < WriteAtLeast) return std::nullopt;
    written.Add(out);
    if (auto write_error = WriteAll(temp_fd, out)) return write_error;
    out.clear();
    // The disk starts on what has been written while the rest is made, so that the fsync below
    // waits for little more than the last piece (a third of the time on a 30 MB file). Only a
    // hint: the fsync decides.
    calls_.StartWriteBack(temp_fd);
    return std::nullopt;
  });
  if (streamed) return fail(*streamed);
  transform.Finish(out);
  written.Add(out);
  if (auto error = WriteAll(temp_fd, out)) return fail(*error);
  if (calls_.Fsync(temp_fd) != 0) return fail(Error("write", errno));

  if (!PutInPlaceOf(temp, temp_fd, target, directory, fd, info))
    return ConfirmReplaced(target, temp_fd, written);

  // The rename could not serve: write the same text into the file itself.
  std::string original;
  std::string replacement;
  if (auto error = ReadAll(fd, original)) return fail(*error);
  if (auto error = ReadAll(temp_fd, replacement)) return fail(*error);
  RemoveTemp(temp);
  return ReplaceContent(fd, original, replacement);
}

// A temporary file that is in the way of nothing yet. One more try covers a passing failure; a
// file that still cannot go is left (it holds the new text, with no more rights than the
// original's), and the outcome is decided by the hosts file alone.
void PosixHostsStore::RemoveTemp(const std::string& temp) {
  if (calls_.Unlink(temp.c_str()) != 0 && errno != ENOENT) calls_.Unlink(temp.c_str());
}

// Reads the file back through its path: it must be the file just renamed into place and hold
// exactly the bytes written. Another program that replaced or changed it in the meantime makes the
// save fail rather than report a change that is not there.
std::optional<OsError> PosixHostsStore::ConfirmReplaced(const std::string& target, int temp_fd,
                                                        const Digest& written) {
  struct stat renamed {};
  if (calls_.Fstat(temp_fd, &renamed) != 0) return Error("verify", errno);
  const int fd = calls_.Open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Error("verify", errno);
  Descriptor closer(calls_, fd);
  struct stat now {};
  if (calls_.Fstat(fd, &now) != 0) return Error("verify", errno);
  if (!SameFile(now, renamed)) return Error("verify", EIO);
  Digest found;
  if (auto error = ReadChunks(fd, [&](std::string_view chunk) -> std::optional<OsError> {
        found.Add(chunk);
        return std::nullopt;
      })) {
    error->operation = "verify";
    return error;
  }
  if (found != written) return Error("verify", EIO);
  return std::nullopt;
}

// Gives the temporary file the original's owner, mode and extended attributes and renames it
// over the original. On failure the temporary file is still there and the original untouched.
std::optional<OsError> PosixHostsStore::PutInPlaceOf(const std::string& temp, int temp_fd,
                                                     const std::string& target, int directory,
                                                     int fd, const struct stat& info) {
  // Owner first: changing it can clear the set-id bits that the mode then restores.
  if (calls_.Fchown(temp_fd, info.st_uid, info.st_gid) != 0) return Error("chown", errno);
  if (calls_.Fchmod(temp_fd, info.st_mode & 07777) != 0) return Error("chmod", errno);
  if (auto error = CopyExtendedAttributes(fd, temp_fd)) return error;
  // A save that opens the new file while this one still reads it back waits for it.
  if (calls_.Flock(temp_fd, LOCK_EX | LOCK_NB) != 0) return Error("lock", errno);
  if (calls_.Rename(temp.c_str(), target.c_str()) != 0) return Error("rename", errno);

  // Makes the rename itself durable. Best effort: the new file is in place either way.
  if (directory >= 0) calls_.Fsync(directory);
  return std::nullopt;
}

// SELinux label, ACLs and any other attribute the file carries.
std::optional<OsError> PosixHostsStore::CopyExtendedAttributes(int from, int to) {
  const ssize_t size = calls_.Flistxattr(from, nullptr, 0);
  if (size < 0 && (errno == ENOTSUP || errno == ENOSYS)) return std::nullopt;
  if (size < 0) return Error("listxattr", errno);
  if (size == 0) return std::nullopt;
  std::vector<char> names(static_cast<size_t>(size));
  const ssize_t listed = calls_.Flistxattr(from, names.data(), names.size());
  if (listed < 0) return Error("listxattr", errno);
  std::vector<char> value;
  for (size_t pos = 0; pos < static_cast<size_t>(listed);) {
    const char* name = names.data() + pos;
    pos += std::strlen(name) + 1;
    const ssize_t value_size = calls_.Fgetxattr(from, name, nullptr, 0);
    if (value_size < 0) return Error("getxattr", errno);
    value.resize(static_cast<size_t>(value_size));
    const ssize_t got = calls_.Fgetxattr(from, name, value.data(), value.size());
    if (got < 0) return Error("getxattr", errno);
    if (calls_.Fsetxattr(to, name, value.data(), static_cast<size_t>(got)) != 0) {
      return Error("setxattr", errno);
    }
  }
  return std::nullopt;
}

// For files that a rename cannot replace. Holds the old and the new text in memory.
std::optional<OsError> PosixHostsStore::RewriteInPlace(int fd, TextTransform& transform) {
  std::string original;
  if (auto error = ReadAll(fd, original)) return error;
  std::string replacement;
  transform.Feed(original, replacement);
  transform.Finish(replacement);
  return ReplaceContent(fd, original, replacement);
}

std::optional<OsError> PosixHostsStore::ReplaceContent(int fd, std::string_view original,
                                                       std::string_view replacement) {
  auto error = WriteAt(fd, replacement);
  if (!error) {
    std::string found;
    error = ReadAll(fd, found);
    if (error) {
      error->operation = "verify";
    } else if (found != replacement) {
      error = Error("verify", EIO);
    } else {
      return std::nullopt;
    }
  }
  // Whatever went wrong, the old text goes back.
  WriteAt(fd, original);
  return error;
}

// Writes `data` over the whole file from offset 0, cuts it to that length and flushes it.
std::optional<OsError> PosixHostsStore::WriteAt(int fd, std::string_view data) {
  for (size_t done = 0; done < data.size();) {
    const ssize_t n =
        calls_.PWrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Error("write", errno);
    done += static_cast<size_t>(n);
  }
  if (calls_.Ftruncate(fd, static_cast<off_t>(data.size())) != 0) return Error("write", errno);
  if (calls_.Fsync(fd) != 0) return Error("write", errno);
  return std::nullopt;
}

std::optional<OsError> PosixHostsStore::ReadAll(int fd, std::string& out) {
  out.clear();
  const auto buffer = ChunkBuffer();
  while (true) {
    const ssize_t n = calls_.PRead(fd, buffer.get(), ChunkSize, static_cast<off_t>(out.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Error("read", errno);
    if (n == 0) return std::nullopt;
    out.append(buffer.get(), static_cast<size_t>(n));
  }
}

std::optional<OsError> PosixHostsStore::WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = calls_.Write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Error("write", errno);
    data.remove_prefix(static_cast<size_t>(n));
  }
  return std::nullopt;
}
