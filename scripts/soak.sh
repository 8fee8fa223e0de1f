#!/usr/bin/env bash
# Soak: the sanitizer (ASan+UBSan) build of the real program against a faulty quote server.
#   scripts/soak.sh [SECONDS] [BUILD_DIR]        defaults: 60 and build-asan; SECONDS >= 40
# Builds tessal_soak and lumetta-server in BUILD_DIR (setting up a sanitizer build there with
# scripts/setup.sh if it is not configured yet), starts a virtual display when DISPLAY is not
# set, and checks that
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

# The widget gives up on a request after 15 s and asks every 3 s (RefreshTime=3 below).
client_timeout=15
refresh=3
recovery_limit=$((client_timeout + refresh + 2))
# The faults end this long before the end, leaving room to see the recovery and a few menus.
tail_seconds=$((recovery_limit + 5))
fault_seconds=$((duration - tail_seconds))
menu_every=5
rss_growth_limit_kb=1024
if ((duration >= 120)); then mark_offset=60; else mark_offset=$((duration / 3)); fi

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
server_pid=""
tessal_pid=""
cleanup() {
  if [ -n "$tessal_pid" ]; then stop_processes "$tessal_pid"; fi
  if [ -n "$server_pid" ]; then stop_processes "$server_pid"; fi
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

failures=()
fail_check() {
  failures+=("$*")
  echo "soak: FAIL: $*" >&2
}
give_up() {
  echo "soak.sh: $*" >&2
  exit 1
}

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$SOAK_PORT") 2>/dev/null; }
listening && give_up "port $SOAK_PORT is taken; the soak needs it for its own server"

work=$(mktemp -d /tmp/lumetta-soak.XXXXXX)
rm -rf "$logs"
server_log="$work/server.log"
tessal_log="$work/tessal.log"
cp "$SOAK_TESSAL" "$work/Tessal"
printf '%s\r\n' '[System]' PriceType=au "RefreshTime=$refresh" Transparent=50 LockState=UnLock \
  AutoRun=False >"$work/System.ini"
cp "$work/System.ini" "$work/System.ini.before"
# Nothing may open a browser; start at login writes inside the work folder.
mkdir -p "$work/bin"
cat >"$work/bin/xdg-open" <<'SCRIPT'
#!/bin/sh
printf '%s\n' "$1" >>"$(dirname "$0")/../opened.txt"
SCRIPT
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH" XDG_CONFIG_HOME="$work/config"
export no_proxy="*" NO_PROXY="*"
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

# Each server line gets the time it was printed in microseconds (whatever the locale's decimal
# point), so times are the server's, not the poll's.
stamp_lines() {
  local line
  while IFS= read -r line; do printf '%s %s\n' "${EPOCHREALTIME/[.,]/}" "$line"; done
}
start=$SECONDS
"$build_dir/lumetta-server" --port "$SOAK_PORT" --seed 7 --log --faults-for "$fault_seconds" \
  > >(stamp_lines >"$server_log") 2>&1 </dev/null &
server_pid=$!
wait_for 10 listening || give_up "lumetta-server did not start on port $SOAK_PORT"

(cd "$work" && exec ./Tessal) >"$tessal_log" 2>&1 &
tessal_pid=$!
deadline=$((start + duration))

tessal_gone() { process_gone "$tessal_pid"; }
panel_or_gone() { find_panel "$tessal_pid" || tessal_gone; }
visible_windows() { xdotool search --onlyvisible --pid "$tessal_pid" 2>/dev/null | wc -l; }
more_windows_than() { [ "$(visible_windows)" -gt "$1" ]; }
windows_at_most() { [ "$(visible_windows)" -le "$1" ]; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$tessal_pid/status" 2>/dev/null; }
# A synchronous move to where the pointer already is would wait for a motion that never comes.
right_click_at() {
  local X Y
  eval "$(xdotool getmouselocation --shell | grep -E '^(X|Y)=[0-9-]+$')"
  if [ "$X" != "$1" ] || [ "$Y" != "$2" ]; then xdotool mousemove --sync "$1" "$2"; fi
  xdotool click 3
}

# The first start with sanitizers is slow, and a fetch may hold it up to the client's time-out.
wait_for 60 panel_or_gone || true
find_panel "$tessal_pid" >/dev/null || give_up "the panel did not show (log: $tessal_log)"
rss_start=$(rss_kb)
rss_mark=""

# Right-clicks the panel's background and waits for one more window of the process (the menu),
# then closes it with Escape. A menu that opens late is closed all the same.
menu_opened=0
menu_missed=0
menu_check() {
  local panel x y before
  panel=$(find_panel "$tessal_pid") || {
    fail_check "no panel at $((SECONDS - start)) s"
    return 0
  }
  local X Y
  eval "$(xdotool getwindowgeometry --shell "$panel" | grep -E '^(X|Y)=[0-9-]+$')"
  x=$X y=$Y
  before=$(visible_windows)
  right_click_at $((x + 150)) $((y + 25))
  if wait_for 10 more_windows_than "$before"; then
    menu_opened=$((menu_opened + 1))
  else
    menu_missed=$((menu_missed + 1))
    fail_check "no menu within 10 s of a right click at $((SECONDS - start)) s"
  fi
  local attempt
  for attempt in 1 2 3; do
    xdotool key Escape
    wait_for $((attempt * 10)) windows_at_most "$before" && return 0
  done
  fail_check "the menu did not close at $((SECONDS - start)) s"
}

next_menu=$((SECONDS + menu_every))
while ((SECONDS < deadline)); do
  if tessal_gone; then
    status=0
    wait "$tessal_pid" || status=$?
    fail_check "the program ended after $((SECONDS - start)) s with status $status"
    break
  fi
  if [ -z "$rss_mark" ] && ((SECONDS - start >= mark_offset)); then rss_mark=$(rss_kb); fi
  if ((SECONDS >= next_menu)); then
    menu_check
    next_menu=$((SECONDS + menu_every))
  fi
  # Pacing only: every wait for a condition above is a bounded poll.
  sleep 0.5
done

rss_end=""
exit_status=""
if ! tessal_gone; then
  rss_end=$(rss_kb)
  kill -TERM "$tessal_pid"
  if wait_for 30 tessal_gone; then
    exit_status=0
    wait "$tessal_pid" || exit_status=$?
    [ "$exit_status" = 0 ] || fail_check "exit status $exit_status after SIGTERM"
  else
    fail_check "still running 30 s after SIGTERM"
  fi
fi
tessal_pid=""
stop_processes "$server_pid"
server_pid=""

if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$tessal_log"; then
  fail_check "a sanitizer report in the program's log"
fi

growth=""
if [ -n "$rss_mark" ] && [ -n "$rss_end" ]; then
  growth=$((rss_end - rss_mark))
  ((growth < rss_growth_limit_kb)) ||
    fail_check "memory grew by $growth kB after $mark_offset s (limit $rss_growth_limit_kb kB)"
elif [ -n "$rss_end" ]; then
  fail_check "no memory reading at $mark_offset s"
fi

if [ -n "$exit_status" ]; then
  kept=$(tr -d '\r' <"$work/System.ini" | grep -vE '^(Left|Top)=' | sort || true)
  if [ "$kept" != "$(tr -d '\r' <"$work/System.ini.before" | sort)" ]; then
    fail_check "System.ini changed beyond Left and Top"
  fi
  for key in Left Top; do
    [ "$(tr -d '\r' <"$work/System.ini" | grep -cE "^$key=[0-9]+(\\.[0-9]+)?\$")" = 1 ] ||
      fail_check "System.ini does not hold one numeric $key"
  done
fi

# Lines are "TIME fault KIND METHOD TARGET"; "none" once the faults are over.
over_at=$(awk '$2 == "lumetta-server" && $3 == "faults" && $4 == "over" { print $1; exit }' \
  "$server_log")
good_at=$(awk '$2 == "fault" && $3 == "none" && $5 ~ /^\/Soft\/Price\.asp/ { print $1; exit }' \
  "$server_log")
recovery=""
if [ -z "$over_at" ]; then
  fail_check "the server never reported the end of its faults"
elif [ -z "$good_at" ]; then
  fail_check "no normal quote request after the faults ended"
else
  recovery_ms=$(((good_at - over_at) / 1000))
  recovery="$((recovery_ms / 1000)).$((recovery_ms % 1000 / 100))"
  ((recovery_ms <= recovery_limit * 1000)) ||
    fail_check "the first normal quote request came $recovery s after the faults" \
      "(limit $recovery_limit s)"
fi

cycle=$(awk '$3 == "fault" && $4 == "cycle:" { for (i = 5; i <= NF; ++i) print $i; exit }' \
  "$server_log")
echo "soak: $duration s against faults for the first $fault_seconds s ($build_dir)"
echo "  requests per fault:"
served() { awk -v kind="$1" '$2 == "fault" && $3 == kind' "$server_log" | wc -l; }
for kind in $cycle; do printf '    %-14s %s\n' "$kind" "$(served "$kind")"; done
printf '    %-14s %s\n' "after faults" "$(served none)"
echo "  first normal quote request: ${recovery:-none} s after the faults ended" \
  "(limit $recovery_limit s)"
echo "  menu: opened $menu_opened of $((menu_opened + menu_missed)) right clicks"
echo "  RSS: start ${rss_start:-?} kB, at $mark_offset s ${rss_mark:-?} kB, end ${rss_end:-?} kB," \
  "growth ${growth:-?} kB (limit $rss_growth_limit_kb kB)"
echo "  exit status on SIGTERM: ${exit_status:-none}"
echo "  logs: $logs"
if ((${#failures[@]} > 0)); then
  echo "soak: FAILED"
  printf '  - %s\n' "${failures[@]}"
  exit 1
fi
echo "soak: ok"
