#!/usr/bin/env bash
# Runs the suite again and again on a busy machine to show the tests that fail only under load:
# the normal build's ctest N times, then the AddressSanitizer build's M times, each beside a CPU
# burner of twice the core count. Prints every failure by test name and exits 1 if there was one.
#
#   scripts/soak-tests.sh [N] [M]        (defaults 10 and 3; the builds must exist: ./test.sh)
#
# BRIVANTA_SOAK_ARGS adds ctest arguments (say -R CatalogTab, or -I 1,,3 for a third of the suite)
# to every run; BRIVANTA_SOAK_BURNERS sets the burners' count. Under taskset the cores are the
# ones given, and the burners share them:
#
#   taskset -c 0,1 env BRIVANTA_SOAK_BURNERS=16 scripts/soak-tests.sh 0 3
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
asan_runs=${2:-3}
jobs=$(nproc)
burners=${BRIVANTA_SOAK_BURNERS:-$((jobs * 2))}
log_dir=$(mktemp -d "${TMPDIR:-/tmp}/brivanta-soak.XXXXXX")

burner_pids=()
start_burner() {
  for _ in $(seq "$burners"); do
    ( while :; do :; done ) &
    burner_pids+=($!)
  done
}
stop_burner() {
  [ ${#burner_pids[@]} -gt 0 ] && kill "${burner_pids[@]}" 2>/dev/null
  wait "${burner_pids[@]}" 2>/dev/null
  burner_pids=()
}
trap stop_burner EXIT

failures=()
soak() {  # soak NAME BUILD_DIR RUNS ENV...
  local name=$1 dir=$2 count=$3
  shift 3
  [ "$count" -gt 0 ] || return 0
  if [ ! -d "$dir" ]; then
    echo "soak: $dir is missing; build it first (./test.sh)" >&2
    failures+=("$name: no build in $dir")
    return
  fi
  for i in $(seq "$count"); do
    local log="$log_dir/$name-$i.log"
    local began=$SECONDS
    env "$@" ctest --test-dir "$dir" -j "$jobs" --output-on-failure ${BRIVANTA_SOAK_ARGS:-} >"$log" 2>&1
    local failed
    failed=$(sed -n '/The following tests FAILED:/,$p' "$log" | sed -nE 's/^[[:space:]]*[0-9]+ - (.*) \([^)]*\)$/\1/p' | sort -u)
    local summary
    summary=$(grep -E 'tests passed|tests failed' "$log" | tail -n 1)
    echo "$name run $i/$count ($((SECONDS - began)) s): ${summary:-no ctest summary; see $log}"
    while IFS= read -r t; do
      [ -n "$t" ] && failures+=("$name run $i: $t") && echo "  FAILED $t"
    done <<<"$failed"
    if [ -z "$summary" ]; then
      failures+=("$name run $i: ctest did not finish (see $log)")
    fi
  done
}

start_burner
soak normal build "$runs"
soak asan build-asan "$asan_runs" ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
stop_burner

echo
if [ ${#failures[@]} -eq 0 ]; then
  echo "soak: no failures in $runs normal and $asan_runs sanitizer runs beside $burners burners on $jobs cores"
  rm -rf "$log_dir"
  exit 0
fi
echo "soak: ${#failures[@]} failures (logs in $log_dir):"
printf '  %s\n' "${failures[@]}"
exit 1
