#!/usr/bin/env bash
# One end-to-end case of the Windows program under Wine: wine_case.sh CASE
# Each case gets its own throwaway prefix (copied from a template made once per build) and its
# own Xvfb display; the prefix's drive_c/windows/system32/drivers/etc/hosts is the fixture.
# Environment (set by CTest): LINESEL_EXE, LINESEL_DRIVER, LINESEL_TEMPLATE, LINESEL_OUT,
# LINESEL_OBJDUMP, HOST, L1, L2, L3 (the edition's host name and line addresses).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-lib.sh"

case_name=$1
WINE_USER=""
trap cleanup_prefix EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

setup() {
  new_prefix "$LINESEL_TEMPLATE"
  start_xvfb
  cp "$LINESEL_EXE" "$WINEPREFIX/drive_c/linesel.exe"
  cp "$LINESEL_DRIVER" "$WINEPREFIX/drive_c/linesel_driver.exe"
  HOSTS="$WINEPREFIX/drive_c/windows/system32/drivers/etc/hosts"
}

# Runs the driver against the program with the given steps; its report goes to $WORK/out.
drive() {
  local run=(wine 'C:\linesel_driver.exe' 'C:\linesel.exe' "$@")
  if [ -n "$WINE_USER" ]; then
    run=(runuser -u "$WINE_USER" -- env HOME="$WORK" WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY"
         WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" "${run[@]}")
  fi
  "${run[@]}" >"$WORK/out" 2>"$WORK/err" || true
  cat "$WORK/out"
}

# The report must be exactly the expected text.
expect_report() {
  local expected
  expected=$(cat)
  if [ "$(cat "$WORK/out")" != "$expected" ]; then
    fail "report differs"
    diff <(echo "$expected") "$WORK/out" >&2 || true
  fi
}

expect_line() {
  grep -qxF -- "$1" "$WORK/out" || fail "no line: $1"
}

# The hosts file must hold exactly these bytes (printf format).
expect_hosts() {
  local expected="$WORK/expected"
  # shellcheck disable=SC2059
  printf "$1" >"$expected"
  if ! cmp -s "$expected" "$HOSTS"; then
    fail "hosts file differs"
    diff <(od -c "$expected") <(od -c "$HOSTS") >&2 || true
  fi
}

fixture() {
  # shellcheck disable=SC2059
  printf "$1" >"$HOSTS"
}

success_message='message "成功" "线路修改完成" buttons=OK icon=0 others=1'
failure_message='message "失败" "权限不足，请尝试右击本程序然后选择“以管理员身份运行”" buttons=OK icon=0 others=1'
caption="${HOST}线路选择器 2.0"

# Preselection at start: CHECKED is the caption of the radio button that must be checked,
# OTHER whether "其他" may be chosen. Closing the window must leave the file alone.
preselect() {
  local content=$1 checked=$2 other=$3
  setup
  fixture "$content"
  drive layout close exit
  grep -q "^control .* \"$checked\" .* checked=1\$" "$WORK/out" || fail "\"$checked\" is not checked"
  [ "$(grep -c 'checked=1$' "$WORK/out")" = 1 ] || fail "not exactly one radio button checked"
  grep -q "^control 5 \"其他\" .* enabled=$other checked=" "$WORK/out" || fail "其他 enabled should be $other"
  expect_line "exit 0"
  expect_hosts "$content"
}

case "$case_name" in
  layout_96dpi | layout_144dpi)
    setup
    if [ "$case_name" = layout_144dpi ]; then
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
      wineserver -w
    fi
    fixture "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    drive layout close exit
    sed -i 's/ frame=[0-9,-]*$//' "$WORK/out"
    # Windows keeps WS_TABSTOP on the checked radio button only: Tab enters the group there.
    if [ "$case_name" = layout_96dpi ]; then
      expect_report <<END
window "$caption" client=340x143 dpi=96 sizable=0 maximize=0 minimize=1
control 0 "自动模式" 24,16 105x25 autoradio group=1 tabstop=0 enabled=1 checked=0
control 1 "保存" 200,16 113x113 defpush group=0 tabstop=1 enabled=1
control 2 "线路1" 24,40 105x25 autoradio group=0 tabstop=1 enabled=1 checked=1
control 3 "线路2" 24,64 105x25 autoradio group=0 tabstop=0 enabled=1 checked=0
control 4 "线路3" 24,88 105x25 autoradio group=0 tabstop=0 enabled=1 checked=0
control 5 "其他" 24,112 105x25 autoradio group=0 tabstop=0 enabled=0 checked=0
exit 0
END
    else
      expect_report <<END
window "$caption" client=510x215 dpi=144 sizable=0 maximize=0 minimize=1
control 0 "自动模式" 36,24 158x38 autoradio group=1 tabstop=0 enabled=1 checked=0
control 1 "保存" 300,24 170x170 defpush group=0 tabstop=1 enabled=1
control 2 "线路1" 36,60 158x38 autoradio group=0 tabstop=1 enabled=1 checked=1
control 3 "线路2" 36,96 158x38 autoradio group=0 tabstop=0 enabled=1 checked=0
control 4 "线路3" 36,132 158x38 autoradio group=0 tabstop=0 enabled=1 checked=0
control 5 "其他" 36,168 158x38 autoradio group=0 tabstop=0 enabled=0 checked=0
exit 0
END
    fi
    expect_hosts "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    ;;

  preselect_automatic)
    # A mention in a comment and a longer name are no entries.
    preselect "127.0.0.1 localhost\r\n# $L1 $HOST\r\n$L2 ${HOST}x\r\n" "自动模式" 0 ;;
  preselect_line1) preselect "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n" "线路1" 0 ;;
  preselect_line2) preselect "$L2 $HOST\n::1 localhost\n" "线路2" 0 ;;
  preselect_line3) preselect "  $L3\t$HOST  \r\n$L1\t\t$HOST\r\n" "线路3" 0 ;;
  preselect_other) preselect "10.1.2.3 $HOST\r\n" "其他" 1 ;;

  save_line2)
    # Every line but the entry is kept byte for byte, each now ending in CR LF; the new entry
    # comes last.
    setup
    fixture "# hosts\r\n127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n::1 localhost\n\t192.0.2.99 other.test  \r"
    drive checked click:3 click:1 message exit
    expect_report <<END
checked "线路1"
$success_message
exit 0
END
    expect_hosts "# hosts\r\n127.0.0.1 localhost\r\n::1 localhost\r\n\t192.0.2.99 other.test  \r\n$L2\t\t$HOST\r\n"
    ;;

  save_automatic)
    setup
    fixture "$L1 $HOST\r\n10.0.0.1 a.test $HOST b.test\r\n# $L2 $HOST\r\n$L2\t\t$HOST\r\n"
    drive click:0 click:1 message exit
    expect_report <<END
$success_message
exit 0
END
    expect_hosts "10.0.0.1 a.test b.test\r\n# $L2 $HOST\r\n"
    ;;

  enter_saves)
    # Save is the default button: Enter on a radio button saves.
    setup
    fixture "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    drive click:4 key:return message exit
    expect_report <<END
$success_message
exit 0
END
    expect_hosts "127.0.0.1 localhost\r\n$L3\t\t$HOST\r\n"
    ;;

  arrow_keys)
    # "其他" cannot be clicked when not preselected; the arrow keys move the selection within the
    # group and Enter saves it.
    setup
    fixture "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    drive click:5 checked key:down checked key:return message exit
    expect_report <<END
checked "线路1"
checked "线路2"
$success_message
exit 0
END
    expect_hosts "127.0.0.1 localhost\r\n$L2\t\t$HOST\r\n"
    ;;

  save_other)
    # An address the program does not know: Save reports success and changes nothing.
    setup
    fixture "10.1.2.3 $HOST\n127.0.0.1 localhost"
    drive checked click:1 message exit
    expect_report <<END
checked "其他"
$success_message
exit 0
END
    expect_hosts "10.1.2.3 $HOST\n127.0.0.1 localhost"
    ;;

  refused_write)
    # Not an administrator: an unprivileged user, the hosts file owned by root. Wine running as
    # root would ignore the permission bits.
    setup
    WINE_USER=nobody
    chmod 755 "$WORK"
    chown -R "$WINE_USER" "$WORK"
    fixture "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    chown root:root "$HOSTS" "$(dirname "$HOSTS")"
    chmod 0644 "$HOSTS"
    drive checked click:3 click:1 message exit
    expect_report <<END
checked "线路1"
$failure_message
exit 1
END
    expect_hosts "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    [ "$(stat -c %U:%a "$HOSTS")" = root:644 ] || fail "owner or mode changed"
    ;;

  held_by_another)
    # Another program holds the file for the whole save: the save fails after its retries and
    # the file keeps its content.
    setup
    fixture "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    drive checked hold:0 click:3 click:1 message exit
    expect_report <<END
checked "线路1"
held
$failure_message
exit 1
END
    expect_hosts "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    ;;

  held_briefly)
    # Another program lets go of the file while the save is still retrying: the save succeeds.
    setup
    fixture "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    drive checked hold:700 click:3 click:1 message exit
    expect_report <<END
checked "线路1"
held
$success_message
exit 0
END
    expect_hosts "127.0.0.1 localhost\r\n$L2\t\t$HOST\r\n"
    ;;

  missing_hosts)
    # No hosts file: an error box naming the path and the system's error, no window, exit 2.
    setup
    rm "$HOSTS"
    drive message exit
    grep -qF 'message "错误" "无法读取 hosts 文件：C:\windows\system32\drivers\etc\hosts' "$WORK/out" ||
      fail "the error box does not name the hosts file"
    grep -qE '^错误 2：.+" buttons=OK icon=1 others=0$' "$WORK/out" ||
      fail "the error box lacks the error number and text, or a window is shown"
    expect_line "exit 2"
    [ ! -e "$HOSTS" ] || fail "a hosts file was created"
    ;;

  resources)
    # The built file: version record, manifest, icon, imports and size.
    setup
    wine 'C:\linesel_driver.exe' --resources 'C:\linesel.exe' >"$WORK/out" 2>/dev/null || true
    expect_report <<END
fixed file=2.0.0.0 product=2.0.0.0
translation 080404b0
string FileVersion="2.00"
string ProductVersion="2.00"
string CompanyName="Hosts Line Selector developers"
string ProductName="Hosts Line Selector"
manifest level="asInvoker" yes
manifest Microsoft.Windows.Common-Controls yes
manifest PerMonitorV2 yes
manifest processorArchitecture="amd64" yes
icon 48x48 8bpp
icon 32x32 8bpp
icon 24x24 8bpp
icon 16x16 8bpp
END
    "$LINESEL_OBJDUMP" -p "$LINESEL_EXE" >"$WORK/objdump"
    grep -q 'Machine.*8664\|file format pei-x86-64' "$WORK/objdump" || fail "not an x64 executable"
    imports=$(sed -n 's/^\s*DLL Name: //p' "$WORK/objdump" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
    echo "imports: $imports"
    for dll in $imports; do
      case "$dll" in
        kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | msvcrt.dll | advapi32.dll) ;;
        *) fail "imports $dll, which Windows does not ship" ;;
      esac
    done
    size=$(stat -c %s "$LINESEL_EXE")
    echo "size: $size bytes"
    [ "$size" -lt 262144 ] || fail "linesel.exe is $size bytes, over 256 KB"
    ;;

  screenshot)
    # The window with the Chinese captions, for the README; LINESEL_OUT/screenshot-windows.png.
    setup
    fixture "127.0.0.1 localhost\r\n$L1\t\t$HOST\r\n"
    drive layout pause:4000 close exit &
    driver=$!
    for _ in $(seq 200); do
      grep -q '^paused' "$WORK/out" 2>/dev/null && break
      sleep 0.1
    done
    frame=$(sed -n 's/^window .* frame=\([0-9,-]*\)$/\1/p' "$WORK/out")
    IFS=, read -r x y w h <<<"$frame"
    shot="$LINESEL_OUT/screenshot-windows.png"
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot"
    wait "$driver"
    [ "$(identify -format '%wx%h' "$shot")" = "${w}x${h}" ] || fail "screenshot has the wrong size"
    colours=$(identify -format '%k' "$shot")
    [ "$colours" -gt 16 ] || fail "screenshot looks blank ($colours colours)"
    expect_line "exit 0"
    echo "screenshot: $shot (${w}x${h})"
    ;;

  *)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac

[ -s "$WORK/err" ] && grep -v -e wine32 -e multiarch -e 'dpkg --add' -e 'apt-get install wine32' "$WORK/err" >&2 || true
if ((failures)); then
  echo "--- driver report" >&2
  cat "$WORK/out" >&2
  exit 1
fi
echo "ok: $case_name"
