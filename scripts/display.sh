#!/usr/bin/env bash
# A virtual desktop for machines without a screen: Xvfb with a window manager (openbox), a
# notification area (trayer) and a compositor (xcompmgr, so window opacity shows).
#   display.sh start STATE_FILE   prints nothing; writes DISPLAY=... and the pids to STATE_FILE
#   display.sh stop STATE_FILE    stops what start started
set -euo pipefail

# shellcheck disable=SC1091
. "$(dirname "$0")/wait_for.sh"

start() {
  local state=$1 number
  for number in $(seq 90 140); do
    [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ] || break
  done
  local display=":${number}"
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  local xvfb=$!
  wait_for 20 xdpyinfo -display "$display" || { echo "Xvfb did not start" >&2; exit 1; }
  DISPLAY=$display openbox >/dev/null 2>&1 &
  local wm=$!
  DISPLAY=$display xcompmgr >/dev/null 2>&1 &
  local compositor=$!
  DISPLAY=$display trayer --edge bottom --align right --widthtype pixel --width 120 \
    --heighttype pixel --height 24 --SetDockType true --transparent false \
    --tint 0x404040 >/dev/null 2>&1 &
  local tray=$!
  # The notification area is ready once it owns the tray selection.
  wait_for 20 sh -c "DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null && \
    DISPLAY=$display xdotool search --classname trayer" || true
  printf 'DISPLAY=%s\nDISPLAY_PIDS="%s %s %s %s"\n' "$display" "$tray" "$compositor" "$wm" "$xvfb" >"$state"
}

stop() {
  local state=$1
  [ -f "$state" ] || return 0
  # shellcheck disable=SC1090
  . "$state"
  local pid
  for pid in $DISPLAY_PIDS; do kill "$pid" 2>/dev/null || true; done
  rm -f "$state"
}

case "${1:-}" in
  start) start "$2" ;;
  stop) stop "$2" ;;
  *) echo "usage: $0 start|stop STATE_FILE" >&2; exit 2 ;;
esac
