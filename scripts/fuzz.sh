#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang into build-fuzz/ and runs each one, one
# after the other, for SECONDS_PER_HARNESS seconds (default 10) on a copy of its seed corpus.
# Prints one line per harness with its number of executions; exits non-zero when a harness
# reports a crash, a leak or a sanitizer error (its log and the input are then kept and named).
# Needs the Debian packages clang-14 and libclang-rt-14-dev besides the usual build tools.
# Usage: scripts/fuzz.sh [SECONDS_PER_HARNESS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-10}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS_PER_HARNESS]" >&2
  exit 2
fi
for tool in clang-14 clang++-14; do
  if ! command -v "$tool" >/dev/null; then
    echo "fuzz: $tool is missing (Debian packages clang-14 and libclang-rt-14-dev)" >&2
    exit 2
  fi
done

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMETTA_FUZZ=ON -DLUMETTA_WERROR=ON >/dev/null
cmake --build build-fuzz -j 2

# Corpus copies, logs and any crash inputs live here, never in the repository.
work=$(mktemp -d "${TMPDIR:-/tmp}/lumetta-fuzz.XXXXXX")
keep_work=false
fuzzer_pid=""
cleanup() {
  if [ -n "$fuzzer_pid" ]; then
    # libFuzzer ends its run on SIGINT and writes nothing more; a fuzzer stuck past that is forced.
    kill -INT "$fuzzer_pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$fuzzer_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$fuzzer_pid" 2>/dev/null || true
    wait "$fuzzer_pid" 2>/dev/null || true
  fi
  if [ "$keep_work" = true ]; then
    echo "fuzz: logs and crash inputs kept in $work" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Leaks count as findings; an error in the undefined-behaviour checker stops the run with a
# stack, so that libFuzzer saves the input.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for source in fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  harness=build-fuzz/fuzz/$name
  corpus=$work/$name.corpus
  log=$work/$name.log
  mkdir -p "$corpus"
  seeds=fuzz/corpus/${name%_fuzz}
  if [ -d "$seeds" ]; then cp -R "$seeds/." "$corpus/"; fi

  # In the background so that a signal to this script reaches the trap while it runs.
  status=0
  "$harness" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$work/$name-" "$corpus" >"$log" 2>&1 &
  fuzzer_pid=$!
  wait "$fuzzer_pid" || status=$?
  fuzzer_pid=""

  runs=$(sed -n 's/^Done \([0-9][0-9]*\) runs in \([0-9][0-9]*\) second.*/\1 runs in \2 s/p' "$log")
  if [ "$status" -eq 0 ] && [ -n "$runs" ] && ! grep -qE 'ERROR: |runtime error:' "$log"; then
    echo "$name: $runs"
  else
    echo "$name: FINDING (exit $status), see $log"
    grep -E 'check failed|ERROR: |runtime error:|SUMMARY:|Test unit written' "$log" | head -n 8 |
      sed 's/^/  /'
    failed+=("$name")
    keep_work=true
  fi
done

if ((${#failed[@]} > 0)); then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: no findings"
