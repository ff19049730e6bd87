#!/usr/bin/env bash
# Runs a test program under Wine in a throwaway prefix: wine-run.sh TEMPLATE PROGRAM.exe ARGS...
# (CMake's emulator for the Windows build's test programs).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-lib.sh"
template=$1
shift
trap cleanup_prefix EXIT
new_prefix "$template"
wine "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-arch' -e 'apt-get install wine32' >&2)
