#!/usr/bin/env bash
# Installs what the tests need, builds both front ends and runs every test. Run as root: the
# end-to-end tests use private mount namespaces, and never the machine's own /etc/hosts.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test

cmake --preset linux
cmake --build --preset linux -j"$(nproc)"
ctest --preset linux -j"$(nproc)"

# The unit tests and the save path's fault walk, real faults and concurrent saves again, under
# AddressSanitizer and UndefinedBehaviorSanitizer.
sanitized=(core_tests posix_store_tests save_path_tests)
cmake --preset sanitize
cmake --build --preset sanitize -j"$(nproc)" --target "${sanitized[@]}"
for t in "${sanitized[@]}"; do build/sanitize/tests/"$t" --gtest_brief=1; done

# The core under libFuzzer for a bounded minute, starting from the seed corpus.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLINESEL_BUILD_TESTS=OFF
cmake --build build/fuzz -j"$(nproc)" --target hosts_fuzz
fuzz_corpus=$(mktemp -d)
build/fuzz/fuzz/hosts_fuzz -max_total_time=60 -print_final_stats=1 -artifact_prefix=build/fuzz/ \
  "$fuzz_corpus" fuzz/corpus
rm -rf "$fuzz_corpus"

if [ -f cmake/mingw-w64-x86_64.cmake ]; then
  cmake --preset windows
  cmake --build --preset windows -j"$(nproc)"
  ctest --preset windows -j"$(nproc)"
fi
