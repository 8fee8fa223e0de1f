#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite: once in the normal build, once
# with AddressSanitizer and UndefinedBehaviorSanitizer, and the tests without a real window
# once more in a Release build (-O3 warns where the other levels do not).
set -euo pipefail
cd "$(dirname "$0")/.."
# Cheap and independent of the build: a toolkit include where it does not belong fails at once.
bash scripts/check_layering.sh

# shellcheck disable=SC1091
. scripts/common.sh
use_utf8_locale

bash scripts/setup.sh build
ctest --test-dir build --output-on-failure -j 2 --timeout 300

bash scripts/setup.sh build-asan -DLUMETTA_SANITIZE=ON
export UBSAN_OPTIONS=print_stacktrace=1
# Leaks are checked where our code owns everything; the toolkit keeps process-lifetime
# allocations that the leak checker would report in the panel and real-window tests.
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j 2 --timeout 300 \
  -LE 'widget|realwin'
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan --output-on-failure -j 2 --timeout 300 \
  -L 'widget|realwin'

bash scripts/setup.sh build-release -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build-release --output-on-failure -j 2 --timeout 300 -LE realwin
