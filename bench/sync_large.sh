#!/usr/bin/env bash
# Full syncs of fixtures M and L against the loopback back end (bench_sync_bench, each in a
# process of its own so that its peak resident size is that sync's alone), beside curl fetching
# the same files over 3 kept-alive connections. Prints the times, the peaks, the ratio of the
# engine's file phases to curl and of each larger fixture's peak to M's, from the medians of
# RUNS runs. FIXTURES="M L XL" adds XL's 241,000 pictures (wanted within 1.3 of M's peak).
# Usage: bench/sync_large.sh [build folder, default build]   (RUNS=3 for three runs of each)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
PY=${BACKEND_PYTHON:-/usr/bin/python3}
runs=${RUNS:-1}
work=$(mktemp -d)
backend_pid=""
cleanup() {
  [ -n "$backend_pid" ] && kill "$backend_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

median() { "$PY" -c 'import sys,statistics; v=[float(x) for x in sys.argv[1:]]; print("%.2f" % statistics.median(v))' "$@"; }

# One engine run: "sync_s phase_s files peak_MB peak_before_customers_MB", or ERROR when the sync
# did not end.
engine_run() {
  local fixture=$1 out="$work/engine-$1.json"
  BRIVANTA_BENCH_FIXTURE=$fixture "$build/bench/bench_sync_bench" --benchmark_out="$out" \
    --benchmark_out_format=json > "$work/engine-$fixture.txt" 2>&1 || true
  "$PY" - "$out" <<'PYEOF'
import json, sys
run = json.load(open(sys.argv[1]))["benchmarks"][0]
if run.get("error_occurred"):
    print("ERROR", run.get("error_message", ""))
else:
    files = run["files"]
    phase = files / run["files_per_s"] if run["files_per_s"] else 0
    print("%.2f %.2f %d %.1f %.1f" % (run["sync_s"], phase, files, run["peak_rss_MB"], run["peak_before_customers_MB"]))
PYEOF
}

# The back end on that fixture, and the names of the files a full sync fetches from it.
start_backend() {
  local fixture=$1
  [ -n "$backend_pid" ] && kill "$backend_pid" 2>/dev/null && wait "$backend_pid" 2>/dev/null || true
  : > "$work/backend.out"
  "$PY" "$here/tools/backend/server.py" --fixture "$fixture" > "$work/backend.out" 2>"$work/backend.err" &
  backend_pid=$!
  for _ in $(seq 1200); do [ -s "$work/backend.out" ] && break; sleep 0.05; done
  read -r _ _ _ _ _ cport _ fport _ < "$work/backend.out"
  for type in product file; do
    curl -sS -X POST "http://127.0.0.1:$cport/BrivantaSaas/SyncServer;" --data-binary \
      '{"root":{"parameters":{"methodName":"syncData","accountId":"alice","clientId":"AcmeCo","deviceId":"bench","syncType":"'$type'","isFull":"true"}}}' \
      > "$work/$type.json"
  done
  "$PY" - "$work/product.json" "$work/file.json" "$fport" "$work/files" > "$work/curl.conf" <<'PYEOF'
import json, sys
products, library, port, out = json.load(open(sys.argv[1]))["content"], json.load(open(sys.argv[2]))["content"], sys.argv[3], sys.argv[4]
base = "http://127.0.0.1:%s/brivanta_saas/images/AcmeCo/" % port
names = []
for p in products[0]:
    for i in p.get("images", []):
        names += [("product/", i.get("fullAddress")), ("product/", i.get("thumbAddress"))]
for f in library[0]:
    names.append(("library/cover_image/", f.get("coverImage") or f.get("cover_image")))
for n, (folder, name) in enumerate(dict.fromkeys(x for x in names if x[1])):
    print('url = "%s%s%s"\noutput = "%s/%d"' % (base, folder, name, out, n))
PYEOF
}

curl_run() {
  rm -rf "$work/files" && mkdir -p "$work/files"
  local start end
  start=$(date +%s.%N)
  curl -sS --no-progress-meter --fail --parallel --parallel-max 3 -K "$work/curl.conf"
  end=$(date +%s.%N)
  "$PY" -c "print('%.2f' % ($end - $start))"
}

declare -A peak own
fixtures=${FIXTURES:-M L}
for fixture in $fixtures; do
  syncs=() phases=() peaks=() owns=() curls=() files=0
  for _ in $(seq "$runs"); do
    read -r s p f m o <<< "$(engine_run "$fixture")"
    if [ "$s" = ERROR ]; then echo "== $fixture: the engine's sync did not end ($p $f $m)"; exit 1; fi
    syncs+=("$s") phases+=("$p") peaks+=("$m") owns+=("$o") files=$f
  done
  start_backend "$fixture"
  count=$(grep -c '^url' "$work/curl.conf")
  for _ in $(seq "$runs"); do curls+=("$(curl_run)"); done
  s=$(median "${syncs[@]}") p=$(median "${phases[@]}") m=$(median "${peaks[@]}") o=$(median "${owns[@]}") c=$(median "${curls[@]}")
  peak[$fixture]=$m own[$fixture]=$o
  echo "== fixture $fixture: engine full sync ${s} s (file phases ${p} s, ${files} files), peak ${m} MB" \
       "(${o} MB before the customer tables);" \
       "curl -P3 kept-alive: ${count} files in ${c} s; engine files / curl = $("$PY" -c "print('%.2f' % ($p / $c))")"
done
declare -A wanted=([L]=1.5 [XL]=1.3)
for fixture in $fixtures; do
  [ "$fixture" = M ] && continue
  [ -n "${peak[M]:-}" ] || break
  echo "== peak $fixture / peak M = $("$PY" -c "print('%.2f' % (${peak[$fixture]} / ${peak[M]}))") (wanted at most ${wanted[$fixture]:-?});" \
       "before the customer tables $("$PY" -c "print('%.2f' % (${own[$fixture]} / ${own[M]}))")"
done
