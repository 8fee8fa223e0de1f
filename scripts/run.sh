#!/usr/bin/env bash
# Sets everything up, builds what it runs, and runs the widget with the bundled local quote
# server. Without a display it starts a virtual one, saves a screenshot to
# build/screenshots/run.png and keeps running until interrupted (Ctrl+C). It stops whatever it
# started, and fails with a message when the panel does not show or the screenshot fails.
# Usage: scripts/run.sh [--live]
#   --live  the server fetches real quotes from the public sources of data/live-sources.ini
#           (needs the internet) instead of its simulated walk.
set -euo pipefail
cd "$(dirname "$0")/.."

live=0
for argument in "$@"; do
  case $argument in
    --live) live=1 ;;
    -h | --help)
      sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "run.sh: unknown option $argument (try --help)" >&2
      exit 2
      ;;
  esac
done

# shellcheck disable=SC1091
. scripts/common.sh
use_utf8_locale

# Only the program and its server: the tests and benchmarks would make the first start slow.
LUMETTA_TARGETS="Tessal lumetta-server" bash scripts/setup.sh build

started=()
display_state=""
cleanup() {
  if ((${#started[@]} > 0)); then stop_processes "${started[@]}"; fi
  if [ -n "$display_state" ]; then bash scripts/display.sh stop "$display_state"; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "run.sh: $*" >&2
  exit 1
}

listening() { (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null; }
# The user owning what listens on a loopback port (ss names the owner unless it is root).
listener_uid() {
  local line
  line=$(ss -Hltne "sport = :$1" | head -n 1)
  if [[ $line =~ uid:([0-9]+) ]]; then echo "${BASH_REMATCH[1]}"; else echo 0; fi
}

# A server already listening on the panel's port is used only when it is this user's; the
# panel would refuse another account's anyway. Then our own runs on a port of its own. The
# live mode always starts its own: the one listening may be the simulated walk.
port=8750
if listening "$port" && { [ "$live" = 1 ] || [ "$(listener_uid "$port")" != "$(id -u)" ]; }; then
  if [ "$live" = 1 ]; then
    echo "run.sh: 127.0.0.1:$port is taken; starting the live server on another port" >&2
  else
    echo "run.sh: 127.0.0.1:$port belongs to another user; starting our own server" >&2
  fi
  port=8751
  while listening "$port"; do
    port=$((port + 1))
    ((port < 8800)) || fail "no free port from 8751 to 8799 for the quote server"
  done
fi
if ! listening "$port"; then
  server_args=(--port "$port")
  if [ "$live" = 1 ]; then server_args+=(--live); fi
  build/lumetta-server "${server_args[@]}" &
  started+=($!)
  wait_for 10 listening "$port" || fail "the quote server did not start on 127.0.0.1:$port"
fi
tessal_args=()
if [ "$port" != 8750 ]; then tessal_args=(--server "127.0.0.1:$port"); fi

# Everything here talks to loopback; a proxy from the environment must not take it elsewhere.
export no_proxy="*" NO_PROXY="*"

headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  display_state=$(mktemp /tmp/lumetta-display.XXXXXX)
  bash scripts/display.sh start "$display_state"
  # shellcheck disable=SC1090
  . "$display_state"
  export DISPLAY
  headless=1
fi

build/Tessal "${tessal_args[@]}" &
tessal=$!
started+=("$tessal")

# The panel can only be looked for on X; a Wayland session shows it where xdotool cannot see.
on_x=0
if [ "$headless" = 1 ] || { [ -n "${DISPLAY:-}" ] &&
  { [ -z "${WAYLAND_DISPLAY:-}" ] || [[ ${QT_QPA_PLATFORM:-} == xcb* ]]; }; }; then
  on_x=1
fi

if [ "$on_x" = 1 ]; then
  echo "Waiting for the panel on display $DISPLAY (up to 30 s)..."
  panel_or_ended() { find_panel "$tessal" || process_gone "$tessal"; }
  wait_for 30 panel_or_ended || true
  if ! find_panel "$tessal" >/dev/null; then
    if process_gone "$tessal"; then
      status=0
      wait "$tessal" || status=$?
      fail "Tessal ended (exit status $status) before its panel showed"
    fi
    fail "the panel did not show within 30 s on display $DISPLAY"
  fi
fi

if [ "$headless" = 1 ]; then
  mkdir -p build/screenshots
  rm -f build/screenshots/run.png
  # Give the first quote and the first headline a moment to arrive; only the picture needs it.
  sleep 3
  import -window root build/screenshots/run.png ||
    fail "could not take the screenshot of display $DISPLAY"
  [ -s build/screenshots/run.png ] || fail "the screenshot build/screenshots/run.png is empty"
  echo "Screenshot saved to build/screenshots/run.png (display $DISPLAY). Ctrl+C to stop."
elif [ "$on_x" = 1 ]; then
  echo "The panel shows on display $DISPLAY. Ctrl+C to stop."
else
  echo "Tessal runs on the Wayland display ${WAYLAND_DISPLAY:-}. Ctrl+C to stop."
fi
wait "$tessal"
