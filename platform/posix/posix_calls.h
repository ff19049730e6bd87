// SPDX-License-Identifier: MIT
// The POSIX calls of the hosts file's read and save paths, behind one seam so that a test can make
// any of them fail. Each call asks Fault() first; the real implementation never fails there.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string_view>

class PosixCalls {
 public:
  virtual ~PosixCalls() = default;

  int Open(const char* path, int flags, mode_t mode = 0);
  int CreateTemp(char* name_template);  // mkostemp: exclusive, mode 0600, never through a link
  ssize_t Read(int fd, void* buffer, size_t size);
  ssize_t PRead(int fd, void* buffer, size_t size, off_t offset);
  ssize_t Write(int fd, const void* buffer, size_t size);
  ssize_t PWrite(int fd, const void* buffer, size_t size, off_t offset);
  int Fstat(int fd, struct stat* info);
  int Stat(const char* path, struct stat* info);
  int Flock(int fd, int operation);
  int Fsync(int fd);
  int StartWriteBack(int fd);  // Linux sync_file_range: starts writing dirty pages, waits for none
  int Fchmod(int fd, mode_t mode);
  int Fchown(int fd, uid_t owner, gid_t group);
  ssize_t Flistxattr(int fd, char* list, size_t size);
  ssize_t Fgetxattr(int fd, const char* name, void* value, size_t size);
  int Fsetxattr(int fd, const char* name, const void* value, size_t size);
  int Ftruncate(int fd, off_t length);
  int Rename(const char* from, const char* to);
  int Unlink(const char* path);
  int Close(int fd);
  char* Realpath(const char* path, char* resolved);  // malloc'd result when `resolved` is null

 protected:
  // An errno to fail `call` with, or 0 to make the real call.
  virtual int Fault(std::string_view call) {
    static_cast<void>(call);
    return 0;
  }
};
