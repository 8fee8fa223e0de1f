#!/usr/bin/env bash
# Soak: the sanitizer (ASan+UBSan) build of the real program against a faulty quote server.
#   scripts/soak.sh [SECONDS] [BUILD_DIR]        defaults: 60 and build-asan; SECONDS >= 40
# Builds tessal_soak and lumetta-server in BUILD_DIR (setting up a sanitizer build there with
# scripts/setup.sh if it is not configured yet), prepares a folder with a copy of the program,
# starts a virtual display when DISPLAY is not set, and hands over to scripts/soak.py, which
# runs the program against the server and checks that
#   - the program stays alive, and exits with status 0 on SIGTERM at the end;
#   - its context menu opens on a right click on the panel, every few seconds;
#   - its resident memory grows by less than 1 MB from the first minute (a third of the run for
#     runs under two minutes) to the end;
#   - System.ini then holds exactly the keys and values written before, plus Left and Top;
#   - once the server's faults end (25 s before the end), a quote request is answered normally
#     within the client's time-out plus one refresh.
# Prints a summary, keeps the logs in BUILD_DIR/soak-logs, and exits non-zero when a check
# failed. Stops everything it started.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck disable=SC1091
. scripts/common.sh
use_utf8_locale

duration=${1:-60}
build_dir=${2:-build-asan}
if ! [[ $duration =~ ^[0-9]+$ ]] || ((duration < 40)); then
  echo "usage: $0 [SECONDS (at least 40)] [BUILD_DIR]" >&2
  exit 2
fi

# A configured folder is only built; a new one is set up the project's way.
if [ -f "$build_dir/CMakeCache.txt" ]; then
  if ! grep -q '^LUMETTA_SANITIZE:BOOL=ON$' "$build_dir/CMakeCache.txt"; then
    echo "soak.sh: $build_dir is not a sanitizer build (LUMETTA_SANITIZE=ON)" >&2
    exit 2
  fi
  cmake --build "$build_dir" --target tessal_soak lumetta-server
else
  LUMETTA_TARGETS="tessal_soak lumetta-server" \
    bash scripts/setup.sh "$build_dir" -DLUMETTA_SANITIZE=ON
fi
soak_env="$build_dir/tests/soak/soak.env"
[ -f "$soak_env" ] || {
  echo "soak.sh: no $soak_env; is soak in the folder list of tests/CMakeLists.txt?" >&2
  exit 2
}
# shellcheck disable=SC1090
. "$soak_env"

work=""
logs="$build_dir/soak-logs"
display_state=""
run_pid=""
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  # The run stops what it started when told to. A signal also ends the wait below early.
  if [ -n "$run_pid" ] && ! process_gone "$run_pid"; then
    kill -TERM "$run_pid" 2>/dev/null || true
    wait "$run_pid" 2>/dev/null || true
  fi
  if [ -n "$display_state" ]; then bash scripts/display.sh stop "$display_state"; fi
  if [ -n "$work" ]; then
    # What the run left is kept for a look afterwards, whether it passed or not.
    local file
    mkdir -p "$logs"
    for file in server.log tessal.log System.ini System.ini.before; do
      if [ -f "$work/$file" ]; then cp "$work/$file" "$logs/"; fi
    done
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

work=$(mktemp -d /tmp/lumetta-soak.XXXXXX)
rm -rf "$logs"
prepare_tessal_folder "$work" "$SOAK_TESSAL"
export QT_QPA_PLATFORM=xcb
# Leaks are not the question here (the toolkit keeps process-lifetime allocations). ASan's
# quarantine keeps freed memory from reuse until it is full, so with the default 256 MB the
# resident size climbs for many minutes; one of 1 MB is full by the end of start-up, and what
# grows after that is the program's own. The caller's options come last, so they win.
asan_defaults="detect_leaks=0:quarantine_size_mb=1:thread_local_quarantine_size_kb=64"
export ASAN_OPTIONS="$asan_defaults:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:${UBSAN_OPTIONS:-}"

if [ -z "${DISPLAY:-}" ]; then
  display_state=$(mktemp /tmp/lumetta-soak-display.XXXXXX)
  bash scripts/display.sh start "$display_state"
  # shellcheck disable=SC1090
  . "$display_state"
  export DISPLAY
fi

# In the background, so that a signal to this script is handled at once and passed on.
python3 scripts/soak.py --seconds "$duration" --build-dir "$build_dir" \
  --server "$build_dir/lumetta-server" --port "$SOAK_PORT" --work "$work" --logs "$logs" &
run_pid=$!
status=0
wait "$run_pid" || status=$?
exit "$status"
