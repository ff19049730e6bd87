// SPDX-License-Identifier: MIT
// What the core needs of the file system, and nothing more: read the hosts file in chunks, and
// replace it with what a transform makes of its current content. The platform layer implements
// it (POSIX, Win32); tests implement it with fakes. Errors come back as values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// An operating-system failure, with what the program was doing and the system's own words.
struct OsError {
  std::string operation;  // "open", "read", "write", "rename", ...
  std::string path;       // the file it concerned, as the user would recognise it
  long code = 0;          // errno on POSIX, GetLastError() on Windows
  std::string text;       // the system's description of `code`, UTF-8
};

// Receives the hosts file's bytes in order, in chunks of any size.
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual void Feed(std::string_view chunk) = 0;
};

// Turns the hosts file's bytes into the new content, chunk by chunk. Feed appends to `out` what it
// can already tell; Finish appends the rest once the whole input has been fed.
class TextTransform {
 public:
  virtual ~TextTransform() = default;
  virtual void Feed(std::string_view chunk, std::string& out) = 0;
  virtual void Finish(std::string& out) = 0;
};

class HostsStore {
 public:
  virtual ~HostsStore() = default;

  // The hosts file's path, for messages.
  virtual std::string Path() const = 0;

  // Reads the whole file into `sink`.
  virtual std::optional<OsError> Read(TextSink& sink) = 0;

  // Reads the whole file through `transform` and puts the result in its place. On any error the
  // file is left as it was, and nothing is written when the read fails.
  virtual std::optional<OsError> Rewrite(TextTransform& transform) = 0;
};
