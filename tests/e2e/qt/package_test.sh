#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, installs it with dpkg -i, checks what it put in place, and removes
# it again. It runs in a private mount namespace (the caller starts it through `unshare -m`)
# with /usr, /var and /etc overlaid on a tmpfs: dpkg works on the machine's real package
# database, and nothing of it outlives the test.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)

mount --make-rprivate /
mount -t tmpfs tmpfs "$work"
for dir in usr var etc; do
  mkdir -p "$work/$dir/upper" "$work/$dir/work"
  mount -t overlay overlay -o "lowerdir=/$dir,upperdir=$work/$dir/upper,workdir=$work/$dir/work" "/$dir"
done

fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
debs=("$work"/package/linesel_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no .deb"
deb=${debs[0]}

dpkg -i "$deb" >/dev/null || fail "dpkg -i $deb failed"
[ "$(dpkg-query -W -f='${Status}' linesel)" = "install ok installed" ] || fail "not installed"

desktop=/usr/share/applications/linesel.desktop
policy=/usr/share/polkit-1/actions/org.linesel.policy
[ -x /usr/bin/linesel ] || fail "no /usr/bin/linesel"
file /usr/bin/linesel | grep -q 'ELF 64-bit.*executable' || fail "/usr/bin/linesel is no program"
desktop-file-validate "$desktop" || fail "$desktop does not validate"
grep -qx 'Exec=linesel' "$desktop" || fail "the menu entry does not start linesel"
grep -qx 'Icon=linesel' "$desktop" || fail "the menu entry has no icon"
# The action's name and command, in its own group.
sed -n '/^\[Desktop Action run-as-administrator\]/,$p' "$desktop" >"$work/action"
grep -qx 'Name=以管理员身份运行' "$work/action" || fail "no action 以管理员身份运行"
grep -qx 'Exec=pkexec /usr/bin/linesel' "$work/action" || fail "the action does not run pkexec"
grep -q '<annotate key="org.freedesktop.policykit.exec.path">/usr/bin/linesel</annotate>' \
  "$policy" || fail "the policy does not name /usr/bin/linesel"
grep -q '<annotate key="org.freedesktop.policykit.exec.allow_gui">true</annotate>' "$policy" ||
  fail "the policy gives pkexec no window"
for size in 16 32 48 256; do
  png=/usr/share/icons/hicolor/${size}x${size}/apps/linesel.png
  file "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not a $size px PNG"
done
[ -f /usr/share/icons/hicolor/scalable/apps/linesel.svg ] || fail "no scalable icon"

dpkg -r linesel >/dev/null || fail "dpkg -r failed"
[ ! -e /usr/bin/linesel ] && [ ! -e "$desktop" ] && [ ! -e "$policy" ] ||
  fail "dpkg -r left files behind"
echo "PASS: $(basename "$deb") installs, validates and removes"
