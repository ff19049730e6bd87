#!/usr/bin/env bash
# Helpers for running Windows programs under Wine in throwaway prefixes. Sourced, not run.
# Nothing here touches the user's own ~/.wine or the machine's /etc/hosts.

export WINEDEBUG=-all
# No Mono or Gecko installers: the programs under test need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Makes the shared template prefix once per build: a booted prefix whose fonts show Chinese
# (WenQuanYi Micro Hei linked behind Tahoma, the message font), Wine's own title-bar font, window
# frames drawn by Wine (there is no window manager under Xvfb) and no crash dialog.
wine_template() {
  local template=$1
  (
    flock 9
    [ -f "$template/.ready" ] && exit 0
    rm -rf "$template.tmp"
    mkdir -p "$template.tmp"
    export WINEPREFIX="$template.tmp"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$fonts/"
    for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
      [ -f "/usr/share/wine/fonts/$font" ] && cp "/usr/share/wine/fonts/$font" "$fonts/"
    done
    local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    for face in "Tahoma" "Tahoma Bold" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
      wine reg add "$link" /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f
    done >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    if [ -f "$WINEPREFIX/wineserver" ]; then
      local server_dir
      server_dir=$(cat "$WINEPREFIX/wineserver")
      [[ "$server_dir" =~ ^wine-[A-Za-z0-9]+$ ]] && rm -rf "/tmp/$server_dir"
      rm -f "$WINEPREFIX/wineserver"
    fi
    touch "$WINEPREFIX/.ready"
    mv "$template.tmp" "$template"
  ) 9>"$template.lock"
  [ -f "$template/.ready" ]
}

# A throwaway prefix copied from the template, in a new temporary directory: sets WINEPREFIX
# and WORK. cleanup_prefix removes both.
new_prefix() {
  local template=$1
  wine_template "$template" || { echo "cannot make the Wine template prefix" >&2; return 1; }
  WORK=$(mktemp -d)
  cp -a "$template" "$WORK/prefix"
  export WINEPREFIX="$WORK/prefix"
  # Debian's Wine names the prefix's server directory under /tmp in this file: each prefix makes
  # its own.
  rm -f "$WINEPREFIX/wineserver"
}

# Starts Xvfb on a free display and exports DISPLAY.
start_xvfb() {
  local fd_file="$WORK/display"
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$fd_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  [ -s "$fd_file" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$fd_file")"
}

cleanup_prefix() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    if [ -n "${WINE_USER:-}" ]; then
      runuser -u "$WINE_USER" -- env WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
    else
      wineserver -k 2>/dev/null || true
    fi
  fi
  if [ -n "${WINEPREFIX:-}" ] && [ -f "$WINEPREFIX/wineserver" ]; then
    local server_dir
    server_dir=$(cat "$WINEPREFIX/wineserver")
    [[ "$server_dir" =~ ^wine-[A-Za-z0-9]+$ ]] && rm -rf "/tmp/$server_dir"
  fi
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  [ -n "${WORK:-}" ] && rm -rf "$WORK"
}
