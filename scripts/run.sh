#!/usr/bin/env bash
# Sets everything up, builds, and runs the widget with the bundled local quote server.
# Without a display it starts a virtual one, saves a screenshot to build/screenshots/run.png
# and keeps running until interrupted (Ctrl+C). It stops whatever it started.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh build

started=()
display_state=""
cleanup() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -n "$display_state" ]; then bash scripts/display.sh stop "$display_state"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

listening() { (exec 3<>/dev/tcp/127.0.0.1/8750) 2>/dev/null; }
# shellcheck disable=SC1091
. scripts/wait_for.sh

if ! listening; then
  build/lumetta-server --port 8750 &
  started+=($!)
  wait_for 10 listening || { echo "the quote server did not start" >&2; exit 1; }
fi

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

build/Tessal &
tessal=$!
started+=("$tessal")

if [ "$headless" = 1 ]; then
  mkdir -p build/screenshots
  if wait_for 30 xdotool search --onlyvisible --name 'Lumetta客户端'; then
    # Give the first quote and the first headline a moment to arrive.
    sleep 3
    import -window root build/screenshots/run.png
    echo "Screenshot saved to build/screenshots/run.png (display $DISPLAY). Ctrl+C to stop."
  fi
fi
wait "$tessal"
