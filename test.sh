#!/usr/bin/env bash
# Builds everything and runs the whole test suite: a normal build, then the same tests under
# AddressSanitizer and UBSan, and the thread tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
jobs=$(nproc)
werror=${BRIVANTA_WERROR:-OFF}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVANTA_WERROR="$werror" >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" ${BRIVANTA_CTEST_ARGS:-}
for b in build/bench/*; do
  [ -x "$b" ] && "$b" --benchmark_min_time=0.01 --benchmark_filter="${BRIVANTA_BENCH_FILTER:-.}" >/dev/null
done
BACKEND_BENCH_FILES=100 bench/backend_files.sh >/dev/null

if [ "${BRIVANTA_SKIP_SANITIZE:-0}" != 1 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRIVANTA_SANITIZE=ON \
    -DBRIVANTA_BENCH=OFF -DBRIVANTA_WERROR="$werror" >/dev/null
  cmake --build build-asan -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" ${BRIVANTA_CTEST_ARGS:-}

  # The thread tests of the database pool and queue and of the serial queue, and the HTTP
  # engine's suites (streams, requests, queues), under ThreadSanitizer.
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRIVANTA_TSAN=ON \
    -DBRIVANTA_BENCH=OFF -DBRIVANTA_WERROR="$werror" >/dev/null
  cmake --build build-tsan -j "$jobs" --target test_Database_SQLite test_Platform_Base test_Platform_Net test_Network
  TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
    -R '^(BRDatabaseQueueTest|BRDatabasePoolTest|BRDatabaseSideBySideTest|SerialQueue|OperationQueue)\.'
  # The JSON nesting test unwinds an error chain deeper than ThreadSanitizer's stack records.
  for suite in test_Platform_Net test_Network; do
    TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" "build-tsan/bin/$suite" --gtest_brief=1 \
      --gtest_filter=-JsonParser.NestingIsBoundedWithoutExhaustingTheStack
  done
fi
echo "All tests passed."
