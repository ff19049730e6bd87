#!/usr/bin/env bash
# Times the program's hosts-file paths on generated blocklists against the I/O floor and the
# shell tools a user would run instead, and prints one table of medians with ratios from the same
# run, peak memory, callgrind instruction counts for the 100k-line file and the window's
# start-up time under Xvfb. A developer tool: not part of the test run. Run as root (the window
# is started in a private mount namespace with a generated file bound over /etc/hosts; the
# machine's own /etc/hosts is never read or written).
#
#   tools/bench.sh [RUNS]    RUNS timed runs of each command (default 7); medians are printed
#
# The files live in $BENCH_DIR (default /var/tmp/linesel-bench), on a real disk so that the
# save's fsync costs what it costs; a tmpfs would hide it.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-7}
dir=${BENCH_DIR:-/var/tmp/linesel-bench}
build=${BENCH_BUILD:-build/linux}  # the linux preset's directory; another one for a private build
sizes=(10000 100000 1000000 3000000)
seed=1

need=()
for tool in valgrind xvfb-run xdotool; do command -v "$tool" >/dev/null || need+=("$tool"); done
[ -x /usr/bin/time ] || need+=(time)
if ((${#need[@]})); then
  tools/install-deps.sh test
  command -v valgrind >/dev/null || apt-get install -y --no-install-recommends valgrind
fi

cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target generate_hosts hosts_bench >/dev/null
cmake --build "$build" -j"$(nproc)" --target linesel >/dev/null 2>&1 || true
generate=$build/bench/generate_hosts
bench=$build/bench/hosts_bench

host=$(sed -n 's/^#define LINESEL_TARGET_HOST "\(.*\)"$/\1/p' "$build/generated/edition.h")
line2=$(sed -n 's/^#define LINESEL_LINE2_ADDRESS "\(.*\)"$/\1/p' "$build/generated/edition.h")
# An entry as a shell user would match it: the name as a whole field after the address.
entry_re="^[^#]*[[:space:]]${host//./\\.}([[:space:]#]|\$)"

mkdir -p "$dir"
file() { echo "$dir/hosts-$1-$2"; }  # LINES lf|crlf
for n in 10 "${sizes[@]}"; do
  for ends in lf crlf; do
    f=$(file "$n" "$ends")
    [ -s "$f" ] || "$generate" "$n" "$seed" "$ends" >"$f"
  done
done
: >"$dir/empty"

# --- timing helpers: wall time of one command, in microseconds, without forking a timer ---------
elapsed_us=0
timed() {
  local start=$EPOCHREALTIME
  "$@"
  local end=$EPOCHREALTIME
  elapsed_us=$((${end/./} - ${start/./}))
}
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }
ms() { awk -v us="$1" 'BEGIN {printf "%.1f", us / 1000}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# The commands compared. F is the generated file; T a copy of it that each save replaces. grep and
# sed run in the C locale, their fastest; grep writes to a file, since GNU grep stops at the
# first match when its output is /dev/null.
floor_read() { cat "$F" >/dev/null; }
grep_find() { LC_ALL=C grep -iE "$entry_re" "$F" >"$dir/found" || true; }
ours_detect() { "$bench" detect "$F" >/dev/null; }
floor_copy() { dd if="$F" of="$T" bs=1M conv=fsync status=none; }
grep_save() {
  { LC_ALL=C grep -viE "$entry_re" "$F" || true; printf '%s\t\t%s\n' "$line2" "$host"; } >"$T"
}
sed_save() { LC_ALL=C sed -i -E "/$entry_re/Id; \$a $line2\\t\\t$host" "$T"; }
ours_save() { "$bench" save "$T" >/dev/null; }
detect_cmds=(floor_read grep_find ours_detect)
save_cmds=(floor_copy grep_save sed_save ours_save)

echo "# linesel benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "# $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) CPUs," \
  "$(free -g | awk '/^Mem:/ {print $2}') GiB RAM, kernel $(uname -r)," \
  "$dir on $(findmnt -no SOURCE,FSTYPE -T "$dir" | tr -s ' ' ' ')"
echo "# load average before: $(cut -d' ' -f1-3 /proc/loadavg); $runs runs of each command, medians"
echo

declare -A result
for n in "${sizes[@]}"; do
  for ends in lf crlf; do
    F=$(file "$n" "$ends")
    T=$dir/target
    for ((r = 0; r < runs; r++)); do
      for cmd in "${detect_cmds[@]}"; do
        timed "$cmd"
        result[$n.$ends.$cmd]+=" $elapsed_us"
      done
      for cmd in "${save_cmds[@]}"; do
        cp "$F" "$T"  # the same starting point for every save, as the Save button finds it
        sync
        timed "$cmd"
        result[$n.$ends.$cmd]+=" $elapsed_us"
      done
    done
  done
done

printf '%-14s %6s | %8s %8s %8s %7s | %8s %9s %8s %8s %7s\n' lines bytes "cat" "grep" "ours" "ratio" \
  "dd+fsync" "grep+app" "sed -i" "ours" "ratio"
printf '%-14s %6s | %8s %8s %8s %7s | %8s %9s %8s %8s %7s\n' "" MB "ms" "ms" "ms" "/cat" \
  "ms" "ms" "ms" "ms" "/dd"
for n in "${sizes[@]}"; do
  for ends in lf crlf; do
    declare -A m=()
    for cmd in "${detect_cmds[@]}" "${save_cmds[@]}"; do
      # shellcheck disable=SC2086
      m[$cmd]=$(median ${result[$n.$ends.$cmd]})
    done
    bytes=$(stat -c %s "$(file "$n" "$ends")")
    printf '%-14s %6s | %8s %8s %8s %7s | %8s %9s %8s %8s %7s\n' "$n $ends" \
      "$(awk -v b="$bytes" 'BEGIN {printf "%.1f", b / 1048576}')" \
      "$(ms "${m[floor_read]}")" "$(ms "${m[grep_find]}")" "$(ms "${m[ours_detect]}")" \
      "$(ratio "${m[ours_detect]}" "${m[floor_read]}")" \
      "$(ms "${m[floor_copy]}")" "$(ms "${m[grep_save]}")" "$(ms "${m[sed_save]}")" \
      "$(ms "${m[ours_save]}")" "$(ratio "${m[ours_save]}" "${m[floor_copy]}")"
  done
done
echo "(whole processes, wall time; detection reads the page cache; every save starts from a fresh"
echo " copy after sync, and dd overwrites an existing copy as the save replaces one; grep and sed"
echo " do not flush to disk)"
echo

# --- per-line growth: the program's own time, without process start-up ------------------------
inner_ms() {  # median of the time hosts_bench reports for MODE on FILE
  local mode=$1 f=$2 times=()
  for ((r = 0; r < runs; r++)); do
    if [ "$mode" = save ]; then cp "$f" "$dir/target" && sync && f_run=$dir/target; else f_run=$f; fi
    times+=("$("$bench" "$mode" "$f_run" | awk '{print int($1 * 1000)}')")
  done
  median "${times[@]}"
}
echo "per-line cost (the program's own time for detection and save, LF files):"
for mode in detect save; do
  small=$(inner_ms "$mode" "$(file 100000 lf)")
  large=$(inner_ms "$mode" "$(file 3000000 lf)")
  printf '  %-6s 100k: %7s ms (%s ns/line)   3M: %8s ms (%s ns/line)   growth %s\n' "$mode" \
    "$(ms "$small")" "$(awk -v t="$small" 'BEGIN {printf "%.0f", t * 1000 / 100000}')" \
    "$(ms "$large")" "$(awk -v t="$large" 'BEGIN {printf "%.0f", t * 1000 / 3000000}')" \
    "$(awk -v s="$small" -v l="$large" 'BEGIN {printf "%.2f", (l / 3000000) / (s / 100000)}')"
done
echo

# --- peak memory -------------------------------------------------------------------------------
peak_kib() {  # maximum resident size in KiB of the command (grep finding nothing is no failure)
  { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -1
}
echo "peak memory (maximum resident set, KiB):"
printf '  %-14s %8s %8s | %8s %8s %8s %8s\n' file "cat" ours "dd" "grep" "sed" ours
for n in 0 "${sizes[@]}"; do
  if [ "$n" = 0 ]; then F=$dir/empty; else F=$(file "$n" lf); fi
  T=$dir/target
  cp "$F" "$T"
  d_ours=$(peak_kib "$bench" detect "$F")
  d_cat=$(peak_kib cat "$F")
  cp "$F" "$T"
  s_dd=$(peak_kib dd if="$F" of="$T" bs=1M conv=fsync status=none)
  s_grep=$(LC_ALL=C peak_kib grep -viE "$entry_re" "$F")
  cp "$F" "$T"
  s_sed=$(LC_ALL=C peak_kib sed -i -E "/$entry_re/Id" "$T")
  cp "$F" "$T"
  s_ours=$(peak_kib "$bench" save "$T")
  printf '  %-14s %8s %8s | %8s %8s %8s %8s\n' "$([ "$n" = 0 ] && echo empty || echo "$n lf")" \
    "$d_cat" "$d_ours" "$s_dd" "$s_grep" "$s_sed" "$s_ours"
done
echo

# --- instruction counts ------------------------------------------------------------------------
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : *\([0-9]*\).*/\1/p'
}
echo "instructions (callgrind, whole process; per line after the empty run's start-up):"
base=$(instructions "$bench" detect "$dir/empty")
printf '  %-22s %12s\n' "empty file, detect" "$base"
for ends in lf crlf; do
  F=$(file 100000 "$ends")
  d=$(instructions "$bench" detect "$F")
  cp "$F" "$dir/target"
  s=$(instructions "$bench" save "$dir/target")
  printf '  %-22s %12s  (%s per line)\n' "100k $ends, detect" "$d" \
    "$(awk -v a="$d" -v b="$base" 'BEGIN {printf "%.1f", (a - b) / 100000}')"
  printf '  %-22s %12s  (%s per line)\n' "100k $ends, save" "$s" \
    "$(awk -v a="$s" -v b="$base" 'BEGIN {printf "%.1f", (a - b) / 100000}')"
done
echo

# --- window start-up ---------------------------------------------------------------------------
if [ ! -x "$build/linesel" ]; then
  echo "window start-up: $build/linesel was not built; skipped"
  exit 0
fi
caption="${host}线路选择器 2.0"
# One run: in a private mount namespace the generated file is bound over /etc/hosts, and the time
# runs from just before the program's exec to the X server's MapNotify for its window, as xev
# reports it on the root window. (xdotool search --sync looks only every half second, and a loop
# of xdotool calls would compete with the program for the CPU.) xdotool then checks, outside the
# timing, that the window mapped is the selector's.
window_us() {
  # shellcheck disable=SC2016 # expanded by the inner shell
  unshare -m --propagation private -- bash -c '
    mount --bind "$1" /etc/hosts
    coproc events { exec xev -root -event substructure; }
    read -r -t 0.5 -u "${events[0]}" _ || true  # gives xev time to select the events
    start=$EPOCHREALTIME
    "$2" 2>/dev/null &
    pid=$!
    while read -r -u "${events[0]}" line; do [[ $line == MapNotify* ]] && break; done
    end=$EPOCHREALTIME
    shown=$(xdotool search --sync --onlyvisible --name "^$3\$" | head -1)
    kill "$pid" "$events_PID"
    wait "$pid" 2>/dev/null || true
    [ -n "$shown" ] && echo $((${end/./} - ${start/./}))' window "$1" "$build/linesel" "$caption"
}
mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$dir/display"' EXIT
read -r -t 10 number <"$dir/display"
export DISPLAY=:$number QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$dir/runtime
mkdir -p "$XDG_RUNTIME_DIR"
chmod 0700 "$XDG_RUNTIME_DIR"
echo "window start-up (process start to window mapped, under Xvfb):"
declare -A shown
for n in 10 1000000; do
  times=()
  window_us "$(file "$n" lf)" >/dev/null  # warms the caches once
  # Start-up varies more than the rest: three times the runs.
  for ((r = 0; r < 3 * runs; r++)); do times+=("$(window_us "$(file "$n" lf)")"); done
  shown[$n]=$(median "${times[@]}")
done
printf '  10 lines: %s ms   1M lines: %s ms   ratio %s\n' "$(ms "${shown[10]}")" \
  "$(ms "${shown[1000000]}")" "$(ratio "${shown[1000000]}" "${shown[10]}")"
