#!/usr/bin/env bash
# Installs what building and testing need on Debian 12. Run as root (or through sudo).
#   tools/install-deps.sh build   what the Linux program needs to build and run
#   tools/install-deps.sh test    everything the whole test run needs (both front ends)
set -euo pipefail

# The test libraries are here too: configuring the linux preset looks for them.
build=(cmake g++ make pkg-config qt6-base-dev libgl-dev librsvg2-bin fonts-wqy-microhei
       libgtest-dev libgmock-dev)
test=("${build[@]}" libgtest-dev libgmock-dev libbenchmark-dev
      librsvg2-bin xvfb xauth xdotool x11-utils imagemagick fonts-wqy-microhei
      desktop-file-utils dpkg-dev file util-linux pkexec
      dbus-daemon at-spi2-core python3 python3-pyatspi python3-xlib
      g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 wine fonts-wine
      clang libclang-rt-14-dev time)

case "${1:-test}" in
  build) packages=("${build[@]}") ;;
  test) packages=("${test[@]}") ;;
  *) echo "usage: $0 build|test" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
