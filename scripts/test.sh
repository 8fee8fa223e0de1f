#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite: in the normal (Release) build,
# with AddressSanitizer and UndefinedBehaviorSanitizer, the network and panel tests with
# ThreadSanitizer, each fuzzing harness for a few seconds, a soak of the bundled server, and a
# one-minute soak of the real program against a faulty server.
set -euo pipefail
cd "$(dirname "$0")/.."
# Cheap and independent of the build: a toolkit include where it does not belong fails at once.
bash scripts/check_layering.sh

# shellcheck disable=SC1091
. scripts/common.sh
use_utf8_locale

bash scripts/setup.sh build
ctest --test-dir build --output-on-failure -j 2 --timeout 300
# The bundled server's memory stays flat over 100,000 requests, hostile ones included.
python3 scripts/server_soak.py build/lumetta-server

bash scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMETTA_SANITIZE=ON
export UBSAN_OPTIONS=print_stacktrace=1
# Leaks are checked where our code owns everything; the toolkit keeps process-lifetime
# allocations that the leak checker would report in the panel and real-window tests.
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j 2 --timeout 300 \
  -LE 'widget|realwin'
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan --output-on-failure -j 2 --timeout 300 \
  -L 'widget|realwin'

# Where threads meet: the background fetches and the counter's worker.
LUMETTA_TARGETS="net_tests widget_tests" bash scripts/setup.sh build-tsan \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMETTA_SANITIZE_THREAD=ON
export TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/support/tsan.supp"
build-tsan/net_tests
QT_QPA_PLATFORM=offscreen build-tsan/widget_tests
unset TSAN_OPTIONS

bash scripts/fuzz.sh 5
bash scripts/soak.sh 60 build-asan
