#!/usr/bin/env bash
# The quote server of the real-window tests, on the port their Tessal is built to use.
#   server.sh start BUILD_DIR PORT STATE_FILE  /  server.sh stop STATE_FILE
set -euo pipefail

case "${1:-}" in
  start)
    build_dir=$2 port=$3 state=$4
    listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
    if listening; then
      echo "port $port is taken: the real-window tests need it for their own server" >&2
      exit 1
    fi
    "$build_dir/lumetta-server" --port "$port" --seed 7 --log >"$state.log" 2>&1 </dev/null &
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
      if [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null; then
        # Gone before this returns, so that a start right after finds the port free.
        for _ in $(seq 100); do
          kill -0 "$SERVER_PID" 2>/dev/null || break
          sleep 0.05
        done
      fi
      rm -f "$state"
    fi
    ;;
  *) echo "usage: $0 start BUILD_DIR PORT STATE_FILE | stop STATE_FILE" >&2; exit 2 ;;
esac
