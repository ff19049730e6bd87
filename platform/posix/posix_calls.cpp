// SPDX-License-Identifier: MIT
#include "posix_calls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

template <typename T>
T FailWith(int error, T failure) {
  errno = error;
  return failure;
}

}  // namespace

#define LINESEL_FAULT(call, failure) \
  if (const int injected = Fault(call)) return FailWith(injected, failure)

int PosixCalls::Open(const char* path, int flags, mode_t mode) {
  LINESEL_FAULT("open", -1);
  return ::open(path, flags, mode);
}

int PosixCalls::CreateTemp(char* name_template) {
  LINESEL_FAULT("create_temp", -1);
  return ::mkostemp(name_template, O_CLOEXEC);
}

ssize_t PosixCalls::Read(int fd, void* buffer, size_t size) {
  LINESEL_FAULT("read", ssize_t{-1});
  return ::read(fd, buffer, size);
}

ssize_t PosixCalls::PRead(int fd, void* buffer, size_t size, off_t offset) {
  LINESEL_FAULT("pread", ssize_t{-1});
  return ::pread(fd, buffer, size, offset);
}

ssize_t PosixCalls::Write(int fd, const void* buffer, size_t size) {
  LINESEL_FAULT("write", ssize_t{-1});
  return ::write(fd, buffer, size);
}

ssize_t PosixCalls::PWrite(int fd, const void* buffer, size_t size, off_t offset) {
  LINESEL_FAULT("pwrite", ssize_t{-1});
  return ::pwrite(fd, buffer, size, offset);
}

int PosixCalls::Fstat(int fd, struct stat* info) {
  LINESEL_FAULT("fstat", -1);
  return ::fstat(fd, info);
}

int PosixCalls::Stat(const char* path, struct stat* info) {
  LINESEL_FAULT("stat", -1);
  return ::stat(path, info);
}

int PosixCalls::Flock(int fd, int operation) {
  LINESEL_FAULT("flock", -1);
  return ::flock(fd, operation);
}

int PosixCalls::Fsync(int fd) {
  LINESEL_FAULT("fsync", -1);
  return ::fsync(fd);
}

int PosixCalls::StartWriteBack(int fd) {
  LINESEL_FAULT("sync_file_range", -1);
#ifdef __linux__
  return ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  static_cast<void>(fd);
  return 0;
#endif
}

int PosixCalls::Fchmod(int fd, mode_t mode) {
  LINESEL_FAULT("fchmod", -1);
  return ::fchmod(fd, mode);
}

int PosixCalls::Fchown(int fd, uid_t owner, gid_t group) {
  LINESEL_FAULT("fchown", -1);
  return ::fchown(fd, owner, group);
}

ssize_t PosixCalls::Flistxattr(int fd, char* list, size_t size) {
  LINESEL_FAULT("flistxattr", ssize_t{-1});
  return ::flistxattr(fd, list, size);
}

ssize_t PosixCalls::Fgetxattr(int fd, const char* name, void* value, size_t size) {
  LINESEL_FAULT("fgetxattr", ssize_t{-1});
  return ::fgetxattr(fd, name, value, size);
}

int PosixCalls::Fsetxattr(int fd, const char* name, const void* value, size_t size) {
  LINESEL_FAULT("fsetxattr", -1);
  return ::fsetxattr(fd, name, value, size, 0);
}

int PosixCalls::Ftruncate(int fd, off_t length) {
  LINESEL_FAULT("ftruncate", -1);
  return ::ftruncate(fd, length);
}

int PosixCalls::Rename(const char* from, const char* to) {
  LINESEL_FAULT("rename", -1);
  return ::rename(from, to);
}

int PosixCalls::Unlink(const char* path) {
  LINESEL_FAULT("unlink", -1);
  return ::unlink(path);
}

int PosixCalls::Close(int fd) {
  // Linux releases the descriptor even when close reports an error.
  if (const int injected = Fault("close")) {
    ::close(fd);
    return FailWith(injected, -1);
  }
  return ::close(fd);
}

char* PosixCalls::Realpath(const char* path, char* resolved) {
  LINESEL_FAULT("realpath", static_cast<char*>(nullptr));
  return ::realpath(path, resolved);
}
