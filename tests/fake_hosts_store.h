// SPDX-License-Identifier: MIT
// A hosts file in memory, for tests of the core and of Form1. It hands the text over in small
// chunks so that every reader is also tested across chunk boundaries.
#pragma once

#include <algorithm>
#include <optional>
#include <string>

#include "hosts_store.h"

class FakeHostsStore final : public HostsStore {
 public:
  explicit FakeHostsStore(std::string text = {}) : content(std::move(text)) {}

  std::string Path() const override { return "/fake/hosts"; }

  std::optional<OsError> Read(TextSink& sink) override {
    ++reads;
    if (read_error) return read_error;
    for (size_t pos = 0; pos < content.size(); pos += chunk_size) {
      sink.Feed(std::string_view(content).substr(pos, chunk_size));
    }
    return std::nullopt;
  }

  std::optional<OsError> Rewrite(TextTransform& transform) override {
    ++rewrites;
    if (read_error) return read_error;
    std::string out;
    for (size_t pos = 0; pos < content.size(); pos += chunk_size) {
      transform.Feed(std::string_view(content).substr(pos, chunk_size), out);
    }
    transform.Finish(out);
    if (write_error) return write_error;
    content = std::move(out);
    return std::nullopt;
  }

  std::string content;
  size_t chunk_size = 7;
  std::optional<OsError> read_error;
  std::optional<OsError> write_error;
  int reads = 0;
  int rewrites = 0;
};

inline OsError AccessDenied() {
  return OsError{"open", "/fake/hosts", 13, "Permission denied"};
}
