// SPDX-License-Identifier: MIT
// The save's read-back fingerprint: the write side feeds it in pieces of a megabyte or more, the
// read side in 256 KiB reads, so it must not depend on where the bytes are split.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "posix_hosts_store.h"

namespace {

Digest InPieces(std::string_view bytes, std::mt19937& random) {
  Digest digest;
  while (!bytes.empty()) {
    const size_t size = std::uniform_int_distribution<size_t>(0, 70)(random);
    digest.Add(bytes.substr(0, size));
    bytes.remove_prefix(std::min(size, bytes.size()));
  }
  return digest;
}

}  // namespace

TEST(digest, same_bytes_split_anywhere_give_the_same_fingerprint) {
  std::mt19937 random(3);
  for (size_t size : {0u, 1u, 31u, 32u, 33u, 64u, 1000u}) {
    std::string bytes(size, '\0');
    for (auto& c : bytes) c = static_cast<char>(random());
    SCOPED_TRACE(size);
    Digest whole;
    whole.Add(bytes);
    EXPECT_EQ(InPieces(bytes, random), whole);
  }
}

TEST(digest, any_changed_added_or_missing_byte_shows) {
  std::mt19937 random(4);
  std::string bytes(300, '\0');
  for (auto& c : bytes) c = static_cast<char>(random());
  Digest original;
  original.Add(bytes);
  for (size_t at = 0; at < bytes.size(); ++at) {
    SCOPED_TRACE(at);
    std::string changed = bytes;
    changed[at] = static_cast<char>(changed[at] ^ 0x01);
    std::string shorter = bytes;
    shorter.erase(at, 1);
    Digest a, b;
    a.Add(changed);
    b.Add(shorter);
    EXPECT_FALSE(a == original);
    EXPECT_FALSE(b == original);
  }
  std::string swapped = bytes;
  std::swap(swapped[0], swapped[8]);  // the same bytes in another order
  Digest c;
  c.Add(swapped);
  EXPECT_FALSE(c == original);
}
