#!/usr/bin/env bash
# Installs what the tests need, builds both front ends and runs every test. Run as root: the
# end-to-end tests use private mount namespaces, and never the machine's own /etc/hosts.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test

cmake --preset linux
cmake --build --preset linux -j"$(nproc)"
ctest --preset linux -j"$(nproc)"

if [ -f cmake/mingw-w64-x86_64.cmake ]; then
  cmake --preset windows
  cmake --build --preset windows -j"$(nproc)"
  ctest --preset windows -j"$(nproc)"
fi
