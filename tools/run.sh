#!/usr/bin/env bash
# Installs what the Linux program needs, builds it and starts it. Changing /etc/hosts needs root:
# run this with sudo (or as root) to save; without those rights the program reports that it
# could not write.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ]; then tools/install-deps.sh build; else sudo tools/install-deps.sh build; fi
cmake --preset linux
cmake --build --preset linux -j"$(nproc)" --target linesel
exec build/linux/linesel
