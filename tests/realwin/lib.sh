# shellcheck shell=bash
# Shared steps of the real-window tests. Each test runs its own copy of Tessal in a fresh
# folder (System.ini lives next to the executable) with an xdg-open that records addresses.
set -euo pipefail

# shellcheck disable=SC1091
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"
use_utf8_locale

build_dir=${LUMETTA_BUILD_DIR:?}
# shellcheck disable=SC1090
. "${LUMETTA_DISPLAY_STATE:?}"
export DISPLAY
screenshots="$build_dir/screenshots"
mkdir -p "$screenshots"

work=$(mktemp -d /tmp/lumetta-realwin.XXXXXX)
prepare_tessal_folder "$work" "${LUMETTA_TESSAL:?}"
port=${LUMETTA_PORT:?}

tessal_pid=""
# Further processes a test starts for itself, stopped at the end.
own_pids=()
finish() {
  if ((${#own_pids[@]} > 0)); then stop_processes "${own_pids[@]}"; fi
  # Tessal saves its place when told to stop: let it finish before its folder goes.
  if [ -n "$tessal_pid" ]; then
    kill "$tessal_pid" 2>/dev/null || true
    wait "$tessal_pid" 2>/dev/null || true
  fi
  rm -rf "$work" || true
}
trap finish EXIT

fail() {
  echo "FAIL: $*" >&2
  # What the panel printed says more than the symptom does.
  if [ -s "$work/tessal.log" ]; then sed 's/^/tessal: /' "$work/tessal.log" >&2; fi
  if declare -F explain_failure >/dev/null; then explain_failure >&2; fi
  exit 1
}

start_tessal() {
  (cd "$work" && exec ./Tessal) >"$work/tessal.log" 2>&1 &
  tessal_pid=$!
  wait_for 30 panel_window || fail "the panel never showed"
}

# The panel: the shown 350x80 window of our process (by class and size, not by caption).
panel_window() { find_panel "$tessal_pid"; }
panel_hidden() { ! find_panel "$tessal_pid" >/dev/null; }
visible_windows() { shown_windows "$tessal_pid"; }
more_windows_than() { shown_windows_above "$tessal_pid" "$1"; }
process_ended() { ! kill -0 "$tessal_pid" 2>/dev/null; }

# The tray icon: the small window of our process embedded in the notification area.
tray_window() {
  local id
  for id in $(xdotool search --pid "$tessal_pid" 2>/dev/null); do
    local width height
    eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(WIDTH|HEIGHT)=')"
    width=$WIDTH height=$HEIGHT
    if [ "$width" -le 48 ] && [ "$height" -le 48 ] && [ "$width" -ge 8 ]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}

screenshot() { import -window root "$screenshots/$1.png"; }

# The requests the test's own quote server has seen ("GET /Soft/Price.asp?..." lines).
server_log="${LUMETTA_SERVER_STATE:-}.log"
server_requests() {
  grep -c "$1" "$server_log" || true
}
requests_at_least() { [ "$(server_requests "$1")" -ge "$2" ]; }

# drag X1 Y1 X2 Y2: presses the left button at the first point, moves to the second in a few
# steps, and releases there.
drag() {
  move_to "$1" "$2"
  xdotool mousedown 1
  local step
  for step in 1 2 3 4; do
    xdotool mousemove --sync $(($1 + ($3 - $1) * step / 4)) $(($2 + ($4 - $2) * step / 4))
  done
  xdotool mouseup 1
}

# origin_is WINDOW X Y: the window's top-left corner is at X Y now.
origin_is() { [ "$(window_origin "$1")" = "$2 $3" ]; }

# Lets Tessal show that it has handled every input sent so far: its context menu opens on a
# right click at X Y, and closes again.
settled_at() {
  local before
  before=$(visible_windows)
  menu_opens_at "$tessal_pid" "$1" "$2" "$before" || fail "no menu after a right click at $1 $2"
  menu_closes "$tessal_pid" "$before" || fail "the menu did not close"
}
