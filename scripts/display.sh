#!/usr/bin/env bash
# A virtual desktop for machines without a screen: Xvfb with a window manager (openbox), a
# notification area (trayer) and a compositor (xcompmgr, so window opacity shows).
#   display.sh start STATE_FILE   prints nothing; writes DISPLAY=... and the pids to STATE_FILE
#   display.sh stop STATE_FILE    stops what start started
set -euo pipefail

# shellcheck disable=SC1091
. "$(dirname "$0")/common.sh"
use_utf8_locale

start() {
  local state=$1
  # Xvfb picks a free display itself and writes its number to the given fd once it accepts
  # connections. A number guessed from /tmp could belong to a server of another chroot that
  # shares the abstract socket namespace.
  local number_file
  number_file=$(mktemp /tmp/lumetta-displayfd.XXXXXX)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  local xvfb=$!
  # The number is there once its line is complete; stop early if Xvfb ended instead.
  number_written() { [ -s "$number_file" ] && [ -z "$(tail -c 1 "$number_file")" ]; }
  number_or_ended() { number_written || process_gone "$xvfb"; }
  wait_for 20 number_or_ended || true
  local number=""
  if number_written; then number=$(<"$number_file"); fi
  rm -f "$number_file"
  if ! [[ $number =~ ^[0-9]+$ ]]; then
    kill "$xvfb" 2>/dev/null || true
    echo "Xvfb did not start" >&2
    exit 1
  fi
  local display=":${number}"
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
  # shellcheck disable=SC2086
  stop_processes $DISPLAY_PIDS
  rm -f "$state"
}

case "${1:-}" in
  start) start "$2" ;;
  stop) stop "$2" ;;
  *) echo "usage: $0 start|stop STATE_FILE" >&2; exit 2 ;;
esac
