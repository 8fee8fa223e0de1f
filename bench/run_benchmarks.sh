#!/usr/bin/env bash
# Performance of the quote feed, each figure beside its baseline taken in the same run:
#   1. start: launch of Tessal to its first painted panel (which already carries the first
#      quote) against launch to first paint of a bare Qt frameless window (bare_window)
#   2. peak memory (VmHWM) a few seconds after that first paint, the same two programs
#   3. processor time of Tessal idling at the 3 s refresh (every timer running: price, news,
#      the 100 ms docking tick, the counter), against a budget of 0.1 % of a core
#   4. one GetPrice from start to applied reply, and the part of it the UI thread waits for,
#      against one bare libcurl GET (get_price_bench)
# Both programs of 1 and 2 are started by the same probe (launch_probe: fork/exec to the
# window's first drawing as the X server reports it), alternately, each from its own folder.
#
#   bench/run_benchmarks.sh [BUILD_DIR]      BUILD_DIR defaults to build-bench at the top
# Environment: RUNS (launches per program, 15), HOLD_SECONDS (5), IDLE_SECONDS (60).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(realpath -m "${1:-$root/build-bench}")
runs=${RUNS:-15}
hold=${HOLD_SECONDS:-5}
idle=${IDLE_SECONDS:-60}
# Everything talks to loopback; a proxy from the environment must not take it elsewhere.
export no_proxy="*" NO_PROXY="*"

work=$(mktemp -d /tmp/lumetta-bench.XXXXXX)
display_state=""
server_pid=""
finish() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  if [ -n "$display_state" ]; then bash "$root/scripts/display.sh" stop "$display_state"; fi
  rm -rf "$work"
}
trap finish EXIT

note() { printf '%s\n' "$*" >&2; }
# shellcheck disable=SC1091
. "$root/scripts/common.sh"
use_utf8_locale

# --- build -------------------------------------------------------------------------------
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/build.log" 2>&1 ||
    { cat "$work/build.log" >&2; exit 1; }
fi
note "building in $build"
cmake --build "$build" -j2 --target Tessal lumetta-server bare_window launch_probe \
  get_price_bench >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }

# --- display and quote server ------------------------------------------------------------
if [ -z "${DISPLAY:-}" ]; then
  display_state="$work/display.env"
  bash "$root/scripts/display.sh" start "$display_state"
  # shellcheck disable=SC1090
  . "$display_state"
  export DISPLAY
fi
note "display $DISPLAY"

listening() { (exec 3<>/dev/tcp/127.0.0.1/8750) 2>/dev/null; }
# Starts the bundled server unless something listens there already (e.g. one of scripts/run.sh).
ensure_server() {
  listening && return 0
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  "$build/lumetta-server" --port 8750 --bind 127.0.0.1 --seed 1 >>"$work/server.log" 2>&1 </dev/null &
  server_pid=$!
  wait_for 10 listening || { note "lumetta-server did not start"; return 1; }
}
# True when 127.0.0.1:8750 answers the quote list with the product Tessal starts with: a start
# without a quote to show would be quicker and would not count.
quote_served() {
  timeout 5 bash -c 'exec 3<>/dev/tcp/127.0.0.1/8750 &&
    printf "GET /Soft/Price.asp?Type=0&r=1 HTTP/1.0\r\nHost: 127.0.0.1:8750\r\n\r\n" >&3 &&
    tr -d "\0" <&3 | grep -q "^icbcrmbgold,"' 2>/dev/null
}
ensure_server || exit 1
if [ -z "$server_pid" ]; then note "a quote server already listens on 127.0.0.1:8750; using it"; fi
quote_served || { note "127.0.0.1:8750 does not serve the quote list"; exit 1; }

# --- the two programs, each in its own folder --------------------------------------------
mkdir -p "$work/tessal" "$work/bare"
cp "$build/Tessal" "$work/tessal/Tessal"
cp "$build/bare_window" "$work/bare/bare_window"

# Every start of Tessal begins from the same settings: quick refresh, nothing else stored.
fresh_settings() { printf '[System]\r\nRefreshTime=3\r\n' >"$work/tessal/System.ini"; }

# probe NAME PROBE_OPTION...: one launch of the named program; its key=value lines go to
# $work/probe.out. A launch that failed, or a Tessal launch while no quote was served (someone
# else's server on port 8750 may come and go), is tried again. Runs in this shell, not in a
# subshell, so that a server it starts is stopped at the end.
probe() {
  local name=$1 dir program attempt
  shift
  case "$name" in
    tessal) dir="$work/tessal" program=(./Tessal) ;;
    bare) dir="$work/bare" program=(./bare_window) ;;
    # The floor of the idle figure: woken as often as the docking tick, for nothing.
    bare_tick) dir="$work/bare" program=(./bare_window --tick 100) ;;
  esac
  for attempt in 1 2 3; do
    if [ "$name" = tessal ]; then
      fresh_settings
      ensure_server && quote_served || { note "no quote served (attempt $attempt)"; continue; }
    fi
    if "$build/launch_probe" --dir "$dir" --log "$work/$name.log" "$@" -- "${program[@]}" \
      >"$work/probe.out" && { [ "$name" != tessal ] || quote_served; }; then
      return 0
    fi
    note "launch of $name failed (attempt $attempt)"
  done
  return 1
}

value_of() { sed -n "s/^$1=//p"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t) ? "met" : "MISSED" }'; }

# --- 1. start to first paint -------------------------------------------------------------
note "1. start: $runs launches of each, alternating (plus one warm-up each)"
: >"$work/start_tessal" && : >"$work/start_bare" && : >"$work/cpu_tessal" && : >"$work/cpu_bare"
for i in $(seq 0 "$runs"); do
  if ((i % 2 == 0)); then order="bare tessal"; else order="tessal bare"; fi
  for name in $order; do
    probe "$name"
    # Run 0 only warms the page cache; it is not counted.
    ((i == 0)) && continue
    value_of paint_ms <"$work/probe.out" >>"$work/start_$name"
    value_of paint_cpu_ms <"$work/probe.out" >>"$work/cpu_$name"
  done
done
start_tessal=$(median <"$work/start_tessal")
start_bare=$(median <"$work/start_bare")
paint_cpu_tessal=$(median <"$work/cpu_tessal")
paint_cpu_bare=$(median <"$work/cpu_bare")

# --- 2. peak memory ----------------------------------------------------------------------
note "2. peak memory: 3 launches of each, ${hold} s after the first paint"
: >"$work/rss_tessal" && : >"$work/rss_bare"
for i in 1 2 3; do
  for name in tessal bare; do
    probe "$name" --hold "$hold"
    value_of vmhwm_kb <"$work/probe.out" >>"$work/rss_$name"
  done
done
rss_tessal=$(median <"$work/rss_tessal")
rss_bare=$(median <"$work/rss_bare")

# --- 3. idle processor time --------------------------------------------------------------
note "3. idle: Tessal for ${idle} s at the 3 s refresh, after ${hold} s of settling"
probe tessal --hold "$hold" --idle "$idle"
cpu_percent=$(value_of cpu_percent <"$work/probe.out")
cpu_fine=$(value_of live_threads_cpu_percent <"$work/probe.out")
cpu_budget=0.1
# The floor: the bare window waking for an empty timer as often as the docking tick does.
note "   and the bare window with an empty 100 ms timer, as long"
probe bare_tick --hold "$hold" --idle "$idle"
cpu_floor=$(value_of cpu_percent <"$work/probe.out")

# --- 4. GetPrice against a bare GET ------------------------------------------------------
note "4. GetPrice: Google Benchmark, 5 repetitions"
"$build/get_price_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_format=csv >"$work/get_price.csv" 2>"$work/get_price.log" ||
  { cat "$work/get_price.log" >&2; exit 1; }
# A call that failed skips its benchmark with an error; such a figure would mean nothing.
if grep -q ',true,' "$work/get_price.csv"; then
  cat "$work/get_price.csv" >&2
  exit 1
fi
# CSV rows: "NAME_median",iterations,real_time,cpu_time,time_unit,...
median_us() {
  awk -F, -v name="\"$1_median\"" '$1 == name {
    scale = ($5 == "ns") ? 0.001 : ($5 == "ms") ? 1000 : ($5 == "s") ? 1000000 : 1
    print $3 * scale }' "$work/get_price.csv"
}
get_price_us=$(median_us BM_GetPrice/real_time)
get_price_ui_us=$(median_us BM_GetPriceUiThread/real_time)
bare_get_us=$(median_us BM_BareCurlGet/real_time)
growth_kb=$(awk -F, '$1 ~ /^rss_growth_kb_over_/ { print $2 }' "$work/get_price.csv")

# --- table -------------------------------------------------------------------------------
r_start=$(ratio "$start_tessal" "$start_bare")
r_paint_cpu=$(ratio "$paint_cpu_tessal" "$paint_cpu_bare")
r_rss=$(ratio "$rss_tessal" "$rss_bare")
r_cpu=$(ratio "$cpu_percent" "$cpu_budget")
r_get=$(ratio "$get_price_us" "$bare_get_us")
r_get_ui=$(ratio "$get_price_ui_us" "$bare_get_us")
fixed() { awk -v v="$1" -v d="$2" 'BEGIN { printf "%.*f", d, v }'; }
row() { printf '%-36s %10s %10s %7s %7s  %s\n' "$@"; }
echo
row "measure" "Tessal" "baseline" "ratio" "target" "result"
row "start to first paint, median (ms)" "$(fixed "$start_tessal" 1)" "$(fixed "$start_bare" 1)" \
  "${r_start}x" "1.50x" "$(verdict "$r_start" 1.50)"
row "  processor time until then (ms)" "$(fixed "$paint_cpu_tessal" 1)" \
  "$(fixed "$paint_cpu_bare" 1)" "${r_paint_cpu}x" "1.50x" "$(verdict "$r_paint_cpu" 1.50)"
row "peak RSS, VmHWM, median (kB)" "$(fixed "$rss_tessal" 0)" "$(fixed "$rss_bare" 0)" \
  "${r_rss}x" "1.35x" "$(verdict "$r_rss" 1.35)"
row "idle CPU over ${idle} s (% of a core)" "$(fixed "$cpu_percent" 3)" "$cpu_budget" "${r_cpu}x" \
  "1.00x" "$(verdict "$r_cpu" 1.00)"
row "GetPrice vs bare GET, median (us)" "$(fixed "$get_price_us" 1)" "$(fixed "$bare_get_us" 1)" \
  "${r_get}x" "1.50x" "$(verdict "$r_get" 1.50)"
row "  of it on the UI thread (us)" "$(fixed "$get_price_ui_us" 1)" "$(fixed "$bare_get_us" 1)" \
  "${r_get_ui}x" "1.50x" "$(verdict "$r_get_ui" 1.50)"
row "RSS growth, 10000 fetches (kB)" "$growth_kb" "1024" "" "" "(after 10000 to warm up)"
echo
echo "baselines: bare_window (start, memory), the 0.1 % budget (idle CPU), a bare libcurl GET"
echo "start: $runs launches each, fork/exec to the window's first drawing on the X server"
echo "idle CPU: utime+stime; the live threads' scheduler clocks say $(fixed "$cpu_fine" 3) %;"
echo "  the bare window with an empty 100 ms timer idles at $(fixed "$cpu_floor" 3) %"
