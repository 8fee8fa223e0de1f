#!/usr/bin/env bash
# The quote server that the real Tessal talks to: its built-in address is 127.0.0.1:8750.
#   server.sh start BUILD_DIR STATE_FILE  /  server.sh stop STATE_FILE
# When something already listens there (a running scripts/run.sh), that one serves.
set -euo pipefail

listening() { (exec 3<>/dev/tcp/127.0.0.1/8750) 2>/dev/null; }

case "${1:-}" in
  start)
    build_dir=$2 state=$3
    : >"$state"
    if listening; then exit 0; fi
    "$build_dir/lumetta-server" --port 8750 --seed 7 --log >"$state.log" 2>&1 </dev/null &
    echo "SERVER_PID=$!" >"$state"
    for _ in $(seq 200); do
      listening && exit 0
      sleep 0.05
    done
    echo "lumetta-server did not start" >&2
    exit 1
    ;;
  stop)
    state=$2
    if [ -f "$state" ]; then
      # shellcheck disable=SC1090
      . "$state"
      [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null || true
      rm -f "$state"
    fi
    ;;
  *) echo "usage: $0 start BUILD_DIR STATE_FILE | stop STATE_FILE" >&2; exit 2 ;;
esac
