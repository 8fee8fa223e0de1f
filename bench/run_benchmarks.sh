#!/usr/bin/env bash
# Performance of the panel, each figure beside its baselines taken in the same run:
#   1. start: launch of Tessal to its first painted panel (which already carries the first
#      quote), against the same-job floor (floor_panel: the panel's window, labels and face
#      and one quote fetched with libcurl before the first paint, nothing else) and a bare Qt
#      frameless window (bare_window)
#   2. peak memory (VmHWM) a few seconds after that first paint, the same three programs
#   3. processor time idling at the 3 s refresh, Tessal away from the edges and docked at the
#      top edge, in turn and a few times each, beside peers where they are installed:
#      a minimal PyQt 6 panel fetching the same list every 3 s (pyqt_panel.py) and conky
#      showing it through curl (conky_panel.conf, its curl children included), and the bare
#      window waking for an empty 100 ms timer
#   4. one GetPrice from start to applied reply, and the UI thread's processor time in it,
#      against one bare libcurl GET (get_price_bench)
#   5. the bundled server, lumetta-server of this build on a loopback port of its own, under
#      simulated panels (server_load: the panel's request on a connection each, the server
#      process measured alone): its CPU with one panel at the 3 s refresh and with 1,000 (333
#      requests a second, spread evenly), the answers' latency from connect to the last byte,
#      and its resident memory after warm-up and after a flood of the panels' requests; the
#      same flood against the server in server_load's own process with the wall clock run over
#      one trading day (lumetta-server's command line cannot set its clock); and
#      lumetta-server --live against loopback replicas of its public sources (live_replica, a
#      process of its own): its CPU with one panel and with 1,000, and how often each source
#      was asked meanwhile, against the source's interval in the sources file
# The programs of 1 and 2 are started by the same probe (launch_probe: fork/exec to the
# window's first drawing as the X server reports it), in turn, each from its own folder.
#
#   bench/run_benchmarks.sh [BUILD_DIR]      BUILD_DIR defaults to build-bench at the top
# Environment: RUNS (launches per program, 15), HOLD_SECONDS (5), IDLE_SECONDS (60),
# IDLE_ROUNDS (3: Tessal's idle away and docked and the PyQt panel's, in turn, each this many
# times; the medians),
# IDLE_SETTLE_SECONDS (65: the idle figures are taken once Tessal has shown every headline of
# the demonstration server once, so that no headline's glyphs are drawn for the first time).
# The server's part: SERVER_PANELS (1000), LOAD_SECONDS (60), DAY_REQUESTS (400000, after a
# tenth as many to warm up); ONLY=server measures that part alone (no display needed),
# ONLY=start the launches alone (1 and 2).
# The peers come from Debian's python3-pyqt6 and conky-std (with curl), installed when missing
# like the build's own needs; where they cannot be, their rows say so.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(realpath -m "${1:-$root/build-bench}")
runs=${RUNS:-15}
hold=${HOLD_SECONDS:-5}
idle=${IDLE_SECONDS:-60}
idle_rounds=${IDLE_ROUNDS:-3}
settle=${IDLE_SETTLE_SECONDS:-65}
panels=${SERVER_PANELS:-1000}
load_seconds=${LOAD_SECONDS:-60}
day_requests=${DAY_REQUESTS:-400000}
only=${ONLY:-}
case "$only" in
  "" | server | start) ;;
  *) echo "ONLY must be empty, server or start" >&2 && exit 2 ;;
esac
# Everything talks to loopback; a proxy from the environment must not take it elsewhere.
export no_proxy="*" NO_PROXY="*"

work=$(mktemp -d /tmp/lumetta-bench.XXXXXX)
display_state=""
server_pid=""
load_server_pid=""
replica_pid=""
finish() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  if [ -n "$load_server_pid" ]; then kill "$load_server_pid" 2>/dev/null || true; fi
  if [ -n "$replica_pid" ]; then kill "$replica_pid" 2>/dev/null || true; fi
  if [ -n "$display_state" ]; then bash "$root/scripts/display.sh" stop "$display_state"; fi
  rm -rf "$work"
}
trap finish EXIT

note() { printf '%s\n' "$*" >&2; }
# shellcheck disable=SC1091
. "$root/scripts/common.sh"
use_utf8_locale

# --- build -------------------------------------------------------------------------------
# A machine set up by the test command lacks only the peers. Their rows say so when the
# archive cannot be reached, which is no reason to stop.
[ "$only" = server ] || install_missing python3-pyqt6 conky-std curl >&2 || true
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/build.log" 2>&1 ||
    { cat "$work/build.log" >&2; exit 1; }
fi
note "building in $build"
targets=(lumetta-server server_load live_replica)
[ "$only" = server ] || targets+=(Tessal bare_window floor_panel launch_probe get_price_bench)
cmake --build "$build" -j2 --target "${targets[@]}" >"$work/build.log" 2>&1 ||
  { cat "$work/build.log" >&2; exit 1; }

value_of() { sed -n "s/^$1=//p"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t) ? "met" : "MISSED" }'; }
fixed() { awk -v v="$1" -v d="$2" 'BEGIN { if (v == "-") print "-"; else printf "%.*f", d, v }'; }
row() { printf '%-38s %9s %9s %7s %7s  %s\n' "$@"; }

# --- 5. the server under simulated panels (defined here, run after the panel's parts) ------
# A server of our own on a free loopback port: its process alone is measured, and nobody
# else's requests reach it.
load_server_port() { sed -n 's/.* listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/load_server.log" | grep .; }
# The live mode's sources, answered on loopback by live_replica in a process of its own (so
# that the server's process is still measured alone); the file it serves is in replica.out.
replica_sources() { value_of sources_file <"$work/replica.out" | grep .; }
start_replica() {
  "$build/live_replica" --shipped "$root/data/live-sources.ini" --out "$work/live-sources.ini" \
    >"$work/replica.out" 2>&1 </dev/null &
  replica_pid=$!
  wait_for 10 replica_sources || { cat "$work/replica.out" >&2; note "live_replica did not start"; exit 1; }
}
# stop_replica FILE: what each source was asked goes to FILE.
stop_replica() {
  # One that has ended already is reported by the wait, not stopped silently by set -e here.
  kill "$replica_pid" 2>/dev/null || true
  wait "$replica_pid" || { cat "$work/replica.out" >&2; note "live_replica failed"; exit 1; }
  replica_pid=""
  mv "$work/replica.out" "$1"
}
# start_load_server [--live]: the demonstration, or the live mode against a fresh replica.
start_load_server() {
  local options=(--seed 1)
  if [ "${1:-}" = --live ]; then
    start_replica
    options=(--live --sources "$(replica_sources)")
  fi
  "$build/lumetta-server" "${options[@]}" --port 0 --bind 127.0.0.1 >"$work/load_server.log" 2>&1 </dev/null &
  load_server_pid=$!
  wait_for 10 load_server_port || { cat "$work/load_server.log" >&2; note "lumetta-server did not start"; exit 1; }
}
stop_load_server() {
  kill "$load_server_pid" 2>/dev/null || true
  wait "$load_server_pid" || true
  load_server_pid=""
}
# load [--live] MODE OPTION...: one run of server_load against a fresh server (none for the
# day, whose server is in server_load); its key=value lines go to $work/load_MODE.out
# (load_live_MODE.out, and the replica's to replica_MODE.out, with --live).
load() {
  local live=()
  if [ "$1" = --live ]; then live=(--live) && shift; fi
  local mode=$1 name=$1
  shift
  [ "$mode" = paced ] && name=paced_$2
  local address=()
  if [ "$mode" != day ]; then
    start_load_server "${live[@]}"
    address=(--port "$(load_server_port)" --pid "$load_server_pid")
  fi
  local out="$work/load_${live:+live_}$name.out"
  "$build/server_load" "$mode" "${address[@]}" "$@" >"$out" 2>&1 ||
    { cat "$out" >&2; note "server_load $mode failed"; exit 1; }
  if [ "$mode" != day ]; then stop_load_server; fi
  if [ -n "$replica_pid" ]; then stop_replica "$work/replica_$name.out"; fi
}
server_part() {
  note "5. the server: one panel for ${idle} s, $panels panels for ${load_seconds} s (3 s refresh)"
  load paced --panels 1 --refresh 3 --seconds "$idle" --warm-up 3
  load paced --panels "$panels" --refresh 3 --seconds "$load_seconds" --warm-up 5
  local warm_up=$((day_requests / 10))
  note "   memory: $day_requests requests after $warm_up, as fast as the server takes them"
  load flood --requests "$day_requests" --warm-up "$warm_up" --panels "$panels"
  note "   memory over a simulated day: the same in server_load's process"
  load day --requests "$day_requests" --warm-up "$warm_up" --panels "$panels"
  note "   the live mode against replicas of its sources: one panel for ${idle} s, $panels for ${load_seconds} s"
  load --live paced --panels 1 --refresh 3 --seconds "$idle" --warm-up 3
  load --live paced --panels "$panels" --refresh 3 --seconds "$load_seconds" --warm-up 5

  local one="$work/load_paced_1.out" many="$work/load_paced_$panels.out"
  local flood="$work/load_flood.out" day="$work/load_day.out"
  local live_one="$work/load_live_paced_1.out" live_many="$work/load_live_paced_$panels.out"
  local asked="$work/replica_paced_$panels.out"
  local cpu_one cpu_many p50 p99 growth day_growth live_cpu_many source interval rate gaps=""
  cpu_one=$(value_of server_cpu_percent <"$one")
  cpu_many=$(value_of server_cpu_percent <"$many")
  p50=$(awk '{ print $1 / 1000 }' < <(value_of latency_p50_us <"$many"))
  p99=$(awk '{ print $1 / 1000 }' < <(value_of latency_p99_us <"$many"))
  growth=$(value_of growth_kb <"$flood")
  day_growth=$(value_of growth_kb <"$day")
  echo
  row "measure" "server" "" "" "target" "result"
  row "idle CPU, 1 panel at 3 s (%)" "$(fixed "$cpu_one" 3)" "" "" "" ""
  row "CPU, $panels panels at 3 s (%)" "$(fixed "$cpu_many" 2)" "" "" "5" "$(verdict "$cpu_many" 5)"
  row "  answers a second" "$(fixed "$(value_of throughput_per_s <"$many")" 1)" "" "" "" ""
  row "  latency, median (ms)" "$(fixed "$p50" 2)" "" "" "" ""
  row "  latency, 99th percentile (ms)" "$(fixed "$p99" 2)" "" "" "5" "$(verdict "$p99" 5)"
  live_cpu_many=$(value_of server_cpu_percent <"$live_many")
  row "live: idle CPU, 1 panel at 3 s (%)" "$(fixed "$(value_of server_cpu_percent <"$live_one")" 3)" "" "" "" ""
  row "live: CPU, $panels panels at 3 s (%)" "$(fixed "$live_cpu_many" 2)" "" "" "5" \
    "$(verdict "$live_cpu_many" 5)"
  # One request per interval at most: 60 / interval a minute, judged at the precision shown, as
  # the requests' arrivals at the replica jitter by a few milliseconds.
  for source in $(value_of sources_asked <"$asked"); do
    interval=$(value_of "interval_s_$source" <"$asked")
    rate=$(fixed "$(value_of "per_minute_$source" <"$asked")" 1)
    row "  requests a minute to $source" "$rate" "" "" "$(fixed "$(awk -v i="$interval" 'BEGIN { print 60 / i }')" 1)" \
      "$(verdict "$rate" "$(awk -v i="$interval" 'BEGIN { print 60 / i }')")"
    gaps+="${gaps:+, }$source $(fixed "$(value_of "shortest_gap_s_$source" <"$asked")" 3) s (interval $(fixed "$interval" 0) s)"
  done
  row "RSS growth, $day_requests requests (kB)" "$(fixed "$growth" 0)" "" "" "1024" \
    "$(verdict "$growth" 1023)"
  row "  over a simulated day (kB)" "$(fixed "$day_growth" 0)" "" "" "1024" \
    "$(verdict "$day_growth" 1023)"
  echo
  echo "server: lumetta-server of this build in its demonstration mode, on a loopback port of"
  echo "  its own; panels simulated by server_load (the panel's request line and header lines, a"
  echo "  connection each, no Tessal), whose own processor time is not counted"
  echo "CPU: the server process's CPU-time clock over ${idle} s (1 panel), ${load_seconds} s ($panels panels:"
  echo "  $(value_of requests <"$many" | cut -d. -f1) requests, $(value_of failed <"$many" | cut -d. -f1) failed," \
    "at most $(value_of most_open <"$many" | cut -d. -f1) connections open at once, starts at most" \
    "$(fixed "$(value_of start_lag_max_ms <"$many")" 1) ms late)"
  echo "latency: connect to the reply's last byte; the slowest $(fixed "$(value_of latency_max_us <"$many")" 0) us"
  echo "memory: VmRSS with no request under way, after $warm_up requests to warm up and after"
  echo "  $day_requests more at $(fixed "$(value_of throughput_per_s <"$flood")" 0) a second (quotes; every 20th the usage counter with"
  echo "  one of $panels panels' cookies, every 100th the day's points of gold)"
  echo "  by tenth (kB): $(value_of vmrss_by_tenth_kb <"$flood")"
  echo "  VmHWM $(fixed "$(value_of vmhwm_after_warm_up_kb <"$flood")" 0) kB after warm-up, $(fixed "$(value_of vmhwm_kb <"$flood")" 0) kB at the end"
  echo "simulated day: the same against the server in server_load's process, its wall clock"
  echo "  at a midnight through the warm-up, then $(fixed "$(value_of simulated_seconds_per_request <"$day")" 3) s on per request: a trading day to its end"
  echo "  by tenth (kB): $(value_of vmrss_by_tenth_kb <"$day")"
  echo "live: lumetta-server --live of this build, its sources file the shipped one pointed at"
  echo "  live_replica (loopback copies of its public sources, in a process of their own, quoting"
  echo "  every chain's first link; the shipped intervals), measured as above: 1 panel for ${idle} s,"
  echo "  $panels for ${load_seconds} s ($(value_of requests <"$live_many" | cut -d. -f1) requests," \
    "$(value_of failed <"$live_many" | cut -d. -f1) failed; latency median $(fixed "$(value_of latency_p50_us <"$live_many")" 0) us," \
    "99th percentile $(fixed "$(value_of latency_p99_us <"$live_many")" 0) us)"
  echo "requests a minute: those each source received from the live server during the $panels"
  echo "  panels' run, warm-up included, over its first request to its last (60 x (requests - 1) /"
  echo "  span); the target is one per the source's interval in the sources file"
  echo "  shortest wait between two requests: $gaps"
}
if [ "$only" = server ]; then
  server_part
  exit 0
fi

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
mkdir -p "$work/tessal" "$work/bare" "$work/floor" "$work/peer"
cp "$build/Tessal" "$work/tessal/Tessal"
cp "$build/bare_window" "$work/bare/bare_window"
cp "$build/floor_panel" "$work/floor/floor_panel"

# Every start of Tessal begins from the same settings: quick refresh, nothing else stored (so
# it places itself clear of the edges); docked, it starts with its top at the screen's top.
fresh_settings() {
  printf '[System]\r\nRefreshTime=3\r\n' >"$work/tessal/System.ini"
  # 2 pixels below the top: at the edge (a stored 0 is no place and would be ignored).
  if [ "$1" = tessal_docked ]; then printf 'Left=3000\r\nTop=30\r\n' >>"$work/tessal/System.ini"; fi
}

# probe NAME PROBE_OPTION...: one launch of the named program; its key=value lines go to
# $work/probe.out. A launch that failed, or a Tessal launch while no quote was served (someone
# else's server on port 8750 may come and go), is tried again. Runs in this shell, not in a
# subshell, so that a server it starts is stopped at the end.
probe() {
  local name=$1 dir program attempt
  shift
  local window=()
  case "$name" in
    tessal | tessal_docked) dir="$work/tessal" program=(./Tessal) ;;
    floor) dir="$work/floor" program=(./floor_panel) ;;
    bare) dir="$work/bare" program=(./bare_window) ;;
    # Woken as often as the docking tick, for nothing.
    bare_tick) dir="$work/bare" program=(./bare_window --tick 100) ;;
    pyqt) dir="$work/peer" program=("$python" "$here/pyqt_panel.py") ;;
    # conky's window does not name its process: no first drawing to wait for.
    conky) dir="$work/peer" program=("$(command -v conky)" -c "$here/conky_panel.conf") window=(--no-window) ;;
  esac
  local needs_quote=false
  case "$name" in tessal | tessal_docked | floor) needs_quote=true ;; esac
  for attempt in 1 2 3; do
    if [ "$needs_quote" = true ]; then
      [ "$name" = floor ] || fresh_settings "$name"
      ensure_server && quote_served || { note "no quote served (attempt $attempt)"; continue; }
    fi
    if "$build/launch_probe" --dir "$dir" --log "$work/$name.log" "${window[@]}" "$@" -- \
      "${program[@]}" >"$work/probe.out" && { [ "$needs_quote" = false ] || quote_served; }; then
      return 0
    fi
    note "launch of $name failed (attempt $attempt)"
  done
  return 1
}

# Debian's own Python, where its PyQt 6 package goes, before any other on the PATH.
python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3 || echo python3)

# --- 1. start to first paint -------------------------------------------------------------
note "1. start: $runs launches of each, in turn (plus one warm-up each)"
for name in tessal floor bare; do : >"$work/start_$name" && : >"$work/cpu_$name"; done
orders=("bare floor tessal" "tessal bare floor" "floor tessal bare")
for i in $(seq 0 "$runs"); do
  for name in ${orders[i % 3]}; do
    probe "$name"
    # Run 0 only warms the page cache; it is not counted.
    ((i == 0)) && continue
    value_of paint_ms <"$work/probe.out" >>"$work/start_$name"
    value_of paint_cpu_ms <"$work/probe.out" >>"$work/cpu_$name"
  done
done
start_tessal=$(median <"$work/start_tessal")
start_floor=$(median <"$work/start_floor")
start_bare=$(median <"$work/start_bare")
paint_cpu_tessal=$(median <"$work/cpu_tessal")
paint_cpu_floor=$(median <"$work/cpu_floor")
paint_cpu_bare=$(median <"$work/cpu_bare")

# --- 2. peak memory ----------------------------------------------------------------------
note "2. peak memory: 3 launches of each, ${hold} s after the first paint"
for name in tessal floor bare; do : >"$work/rss_$name"; done
for i in 1 2 3; do
  for name in tessal floor bare; do
    probe "$name" --hold "$hold"
    value_of vmhwm_kb <"$work/probe.out" >>"$work/rss_$name"
  done
done
rss_tessal=$(median <"$work/rss_tessal")
rss_floor=$(median <"$work/rss_floor")
rss_bare=$(median <"$work/rss_bare")

# 3 and 4 are left out with ONLY=start.
if [ "$only" != start ]; then
# --- 3. idle processor time --------------------------------------------------------------
# idle NAME: the process's idle share of a core (children included), and its peak RSS, into
# $work/idle_NAME and $work/idle_rss_NAME; "-" where the program is not installed.
idle() {
  local name=$1
  echo - >"$work/idle_$name" && echo - >"$work/idle_rss_$name"
  case "$name" in
    pyqt) "$python" -c 'import PyQt6.QtWidgets' 2>/dev/null || { note "   $name: not installed"; return 0; } ;;
    conky) command -v conky >/dev/null && command -v curl >/dev/null ||
      { note "   $name: not installed"; return 0; } ;;
  esac
  note "   $name for ${idle} s after ${settle} s of settling"
  probe "$name" --hold "$settle" --idle "$idle" || return 1
  value_of cpu_percent_with_children <"$work/probe.out" >"$work/idle_$name"
  value_of vmhwm_kb <"$work/probe.out" >"$work/idle_rss_$name"
}
note "3. idle at the 3 s refresh"
# Docked against away, and away against the PyQt panel, are ratios of small figures that move
# between launches as much as they differ: the three are measured in turn, $idle_rounds times
# each, and their medians compared. Each round starts with the next of them, so that none is
# always the one measured first in a round.
rounds=(tessal tessal_docked pyqt)
for name in "${rounds[@]}"; do : >"$work/idle_rounds_$name"; done
for _ in $(seq "$idle_rounds"); do
  for name in "${rounds[@]}"; do
    idle "$name"
    cat "$work/idle_$name" >>"$work/idle_rounds_$name"
  done
  # A peer that is not installed is said so once.
  [ "$(cat "$work/idle_pyqt")" != - ] || rounds=(tessal tessal_docked)
  rounds=("${rounds[@]:1}" "${rounds[0]}")
done
for name in conky bare_tick; do idle "$name"; done
cpu_percent=$(median <"$work/idle_rounds_tessal")
cpu_docked=$(median <"$work/idle_rounds_tessal_docked")
cpu_pyqt=-
[ "$(head -n 1 "$work/idle_rounds_pyqt")" = - ] || cpu_pyqt=$(median <"$work/idle_rounds_pyqt")
cpu_conky=$(cat "$work/idle_conky")
cpu_floor=$(cat "$work/idle_bare_tick")
# Away from the edges the target is the lightest peer; docked, the panel away from the edges.
cpu_budget=${cpu_pyqt/#-/0.05}

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
# The third column is the time on the clock, the fourth the calling thread's processor time.
median_us() {
  awk -F, -v name="\"$1_median\"" -v column="${2:-3}" '$1 == name {
    scale = ($5 == "ns") ? 0.001 : ($5 == "ms") ? 1000 : ($5 == "s") ? 1000000 : 1
    print $column * scale }' "$work/get_price.csv"
}
get_price_us=$(median_us BM_GetPrice/real_time)
get_price_ui_us=$(median_us BM_GetPrice/real_time 4)
bare_get_us=$(median_us BM_BareCurlGet/real_time)
bare_get_cpu_us=$(median_us BM_BareCurlGet/real_time 4)
growth_kb=$(awk -F, '$1 ~ /^rss_growth_kb_over_/ { print $2 }' "$work/get_price.csv")
fi

# --- table -------------------------------------------------------------------------------
compare() {
  local label=$1 measure=$2 baseline=$3 target=$4 digits=${5:-1} r
  r=$(ratio "$measure" "$baseline")
  row "$label" "$(fixed "$measure" "$digits")" "$(fixed "$baseline" "$digits")" "${r}x" \
    "${target:+${target}x}" "${target:+$(verdict "$r" "$target")}"
}
echo
row "measure" "Tessal" "baseline" "ratio" "target" "result"
compare "start to first paint, median (ms)" "$start_tessal" "$start_floor" 1.10
compare "  against the bare window" "$start_tessal" "$start_bare" ""
compare "  processor time until then (ms)" "$paint_cpu_tessal" "$paint_cpu_floor" 1.10
compare "    against the bare window" "$paint_cpu_tessal" "$paint_cpu_bare" ""
compare "peak RSS, VmHWM, median (kB)" "$rss_tessal" "$rss_floor" 1.10 0
compare "  against the bare window" "$rss_tessal" "$rss_bare" "" 0
if [ "$only" = start ]; then
  echo
  echo "baselines: floor_panel (the same job done minimally)"
  echo "bare window: start $(fixed "$start_bare" 1) ms, processor time $(fixed "$paint_cpu_bare" 1) ms, peak RSS $(fixed "$rss_bare" 0) kB"
else
  compare "idle CPU, away from edges (%)" "$cpu_percent" "$cpu_budget" 1.00 3
  compare "idle CPU, docked at the top (%)" "$cpu_docked" "$cpu_percent" 1.10 3
  compare "GetPrice vs bare GET, median (us)" "$get_price_us" "$bare_get_us" 1.50
  compare "  processor time on the UI thread (us)" "$get_price_ui_us" "$bare_get_cpu_us" 1.50
  row "RSS growth, 10000 fetches (kB)" "$growth_kb" "1024" "" "" "(after 10000 to warm up)"
  echo
  echo "baselines: floor_panel (start, memory: the same job done minimally), the lightest peer"
  echo "  (idle away from the edges, median of $idle_rounds in turn with Tessal's; 0.05 % where PyQt 6"
  echo "  is missing), Tessal away from the edges (idle docked),"
  echo "  a bare libcurl GET (GetPrice)"
  echo "bare window: start $(fixed "$start_bare" 1) ms, processor time $(fixed "$paint_cpu_bare" 1) ms, peak RSS $(fixed "$rss_bare" 0) kB;"
  echo "  with an empty 100 ms timer it idles at $(fixed "$cpu_floor" 3) %"
  echo "peers, idle CPU with children (%) and peak RSS (kB): PyQt 6 panel $(fixed "$cpu_pyqt" 3) and"
  echo "  $(cat "$work/idle_rss_pyqt"), conky with curl $(fixed "$cpu_conky" 3) and $(cat "$work/idle_rss_conky");"
  echo "  Tessal $(fixed "$cpu_percent" 3) and $(cat "$work/idle_rss_tessal") away from the edges"
fi
echo "start: $runs launches each, fork/exec to the window's first drawing on the X server"
echo "processor time: the process's CPU-time clock (every thread); idle, plus the ticks of the"
echo "  children it waited for"

[ "$only" = start ] || server_part
