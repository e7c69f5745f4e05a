#!/usr/bin/env bash
# Builds everything and runs the whole test suite: a normal build, then the same tests under
# AddressSanitizer and UBSan, and the thread tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
jobs=$(nproc)
werror=${BRIVANTA_WERROR:-OFF}
# Each phase's wall time, printed as it ends and summed up at the end.
phase_start=0
phases=()
phase() {
  # With the disk left after it: four build trees and the compiler cache share one disk.
  phases+=("$(printf '%-34s %5d s  %6s free' "$1" $((SECONDS - phase_start)) "$(df -h --output=avail . | tail -1 | tr -d ' ')")")
  echo "test.sh: ${phases[-1]}"
  phase_start=$SECONDS
}
phase "set-up"

# A test stops what it started: a process still naming this tree's builds, checks or tools once a
# ctest run has ended was left by one. One stopped as its test ended may take a moment to go.
nothing_left_running() {
  local tree left
  tree=$(printf '%s/' "$PWD" | sed 's/[][\.*^$+?(){}|]/\\&/g')
  for _ in $(seq 100); do
    left=$(pgrep -af -- "$tree(build[^/]*|tests|tools)/" || true)
    [ -n "$left" ] || return 0
    sleep 0.1
  done
  echo "$left"
  echo "left running by the tests of $1"
  exit 1
}

# The product's units are built with only what they include (the tests keep the precompiled
# header): a unit that does not include what it uses fails the build itself.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVANTA_PRODUCT_PCH=OFF \
  -DBRIVANTA_WERROR="$werror" >/dev/null
# No include against the floors of ARCHITECTURE.md beyond the listed exceptions, read by the
# preprocessor with the build's flags (its compile commands, written by the configuration).
# What it reads is kept in the build folder, where the check's own test starts from it.
python3 scripts/check_includes.py --build build --jobs "$jobs" --cache build/include-check-cache.json
phase "include check"
# Every unit of the product compiled without the precompiled header, where a build gives them
# one; this build does not, so it only confirms that the build compiles them all bare.
python3 scripts/compile_without_pch.py --build build --jobs "$jobs"
phase "units without the precompiled header"
cmake --build build -j "$jobs"
phase "normal build"
# One processor slot per core for the tests that work; those that mostly wait on the clock
# (tests/WaitingTests.cmake) take none, and as many of them again run beside.
printf '{"version":{"major":1,"minor":0},"local":[{"cpu":[{"id":"0","slots":%d}],"waits":[{"id":"0","slots":%d}]}]}\n' \
  "$jobs" "$jobs" >build/resources.json
ctest_slots=(-j $((2 * jobs)) --resource-spec-file "$PWD/build/resources.json")
ctest --test-dir build --output-on-failure "${ctest_slots[@]}" ${BRIVANTA_CTEST_ARGS:-}
nothing_left_running build
phase "normal tests"
for b in build/bench/*; do
  [ -x "$b" ] && BRIVANTA_BENCH_SMOKE=1 "$b" --benchmark_min_time=0.01 --benchmark_filter="${BRIVANTA_BENCH_FILTER:-.}" >/dev/null
done
BACKEND_BENCH_FILES=100 bench/backend_files.sh >/dev/null
phase "benchmarks, once each"

if [ "${BRIVANTA_SKIP_SANITIZE:-0}" != 1 ]; then
  # Built by clang where it is installed (the set-up installs it), so that warnings as errors
  # cover both compilers at no extra build; the benchmarks are compiled here, not linked or run.
  if command -v clang >/dev/null && command -v clang++ >/dev/null; then
    asan_cc=clang asan_cxx=clang++
  else
    asan_cc=gcc asan_cxx=g++
  fi
  # CMake keeps the compiler a tree was first configured with: a tree of the other one starts over.
  if [ -f build-asan/CMakeCache.txt ] &&
    ! grep -q "^CMAKE_CXX_COMPILER:FILEPATH=.*/$asan_cxx\$" build-asan/CMakeCache.txt; then
    rm -rf build-asan/CMakeCache.txt build-asan/CMakeFiles
  fi
  CC=$asan_cc CXX=$asan_cxx cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRIVANTA_SANITIZE=ON \
    -DBRIVANTA_BENCH=ON -DBRIVANTA_BENCH_LINK=OFF -DBRIVANTA_WERROR="$werror" >/dev/null
  cmake --build build-asan -j "$jobs"
  phase "sanitizer build"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure "${ctest_slots[@]}" ${BRIVANTA_CTEST_ARGS:-}
  nothing_left_running build-asan
  phase "sanitizer tests"

  # The thread tests of the database pool and queue and of the serial queue, the HTTP engine's
  # suites (streams, requests, queues), the PDF layer, and the reader engine's thumbnail, page
  # and document suites (built over the platform libraries only), under ThreadSanitizer.
  # Built without the precompiled header, the tests' units too.
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRIVANTA_TSAN=ON -DBRIVANTA_PCH=OFF \
    -DBRIVANTA_BENCH=OFF -DBRIVANTA_WERROR="$werror" >/dev/null
  cmake --build build-tsan -j "$jobs" --target test_Database_SQLite test_Platform_Base test_Platform_Net test_Network \
    test_Platform_Pdf test_tsan_reader
  phase "thread sanitizer build"
  TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
    -R '^(BRDatabaseQueueTest|BRDatabasePoolTest|BRDatabaseSideBySideTest|SerialQueue|OperationQueue)\.'
  # The JSON nesting test unwinds an error chain deeper than ThreadSanitizer's stack records.
  # The suites run side by side, each whole and in its own order: most of the HTTP engine's
  # time is spent waiting on its servers. Each writes a log of its own, shown when it fails.
  tsan_pids=() tsan_logs=()
  for suite in test_Platform_Net test_Network test_Platform_Pdf test_tsan_reader; do
    tsan_logs+=("build-tsan/$suite.log")
    TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" "build-tsan/bin/$suite" --gtest_brief=1 \
      --gtest_filter=-JsonParser.NestingIsBoundedWithoutExhaustingTheStack >"${tsan_logs[-1]}" 2>&1 &
    tsan_pids+=($!)
  done
  tsan_failed=0
  for i in "${!tsan_pids[@]}"; do
    if ! wait "${tsan_pids[$i]}"; then
      tail -n 200 "${tsan_logs[$i]}"
      echo "thread sanitizer run failed: ${tsan_logs[$i]}"
      tsan_failed=1
    fi
  done
  [ "$tsan_failed" = 0 ] || exit 1
  phase "thread sanitizer tests"

  # A few seconds of libFuzzer on each fuzz target where clang is installed, in a small build
  # of its own; new inputs go to a scratch folder, the saved seeds stay as they are (fuzz/README).
  if command -v clang++ >/dev/null && command -v clang >/dev/null; then
    CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz -G Ninja -DBRIVANTA_WERROR="$werror" >/dev/null
    cmake --build build-fuzz -j "$jobs"
    for target in json gzip zip http; do
      rm -rf "build-fuzz/work/$target" && mkdir -p "build-fuzz/work/$target"
      log="build-fuzz/work/$target.log"
      if ! ASAN_OPTIONS=detect_leaks=1 "build-fuzz/fuzz_$target" -max_total_time="${BRIVANTA_FUZZ_SECONDS:-4}" \
        -max_len=4096 -rss_limit_mb=2048 -timeout=20 -artifact_prefix="build-fuzz/work/" \
        "build-fuzz/work/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 30 "$log"
        echo "fuzz target $target found a failure (its input is in build-fuzz/work/)"
        exit 1
      fi
      echo "fuzz_$target: $(grep -E '^Done' "$log")"
    done
    phase "fuzzing"
  fi
fi
printf 'test.sh: %s\n' "${phases[@]}"
echo "All tests passed in $SECONDS s."
