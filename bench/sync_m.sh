#!/usr/bin/env bash
# A full sync of fixture M against the loopback back end (bench_sync_bench with
# BRIVANTA_BENCH_FULL=1), beside its peers: the sqlite3 shell importing the same product rows in
# one transaction, and `xargs -P3 curl` fetching the same product image list.
# Usage: bench/sync_m.sh [build folder, default build]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
PY=${BACKEND_PYTHON:-/usr/bin/python3}
work=$(mktemp -d)
backend_pid=""
cleanup() {
  [ -n "$backend_pid" ] && kill "$backend_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

echo "== the engine"
BRIVANTA_BENCH_FULL=1 "$build/bench/bench_sync_bench" --benchmark_counters_tabular=true

"$PY" "$here/tools/backend/server.py" --fixture M > "$work/backend.out" 2>"$work/backend.err" &
backend_pid=$!
for _ in $(seq 400); do [ -s "$work/backend.out" ] && break; sleep 0.05; done
read -r _ _ _ _ _ cport _ fport _ < "$work/backend.out"

curl -sS -X POST "http://127.0.0.1:$cport/BrivantaSaas/SyncServer;" --data-binary \
  '{"root":{"parameters":{"methodName":"syncData","accountId":"alice","clientId":"AcmeCo","deviceId":"bench","syncType":"product","isFull":"true"}}}' \
  > "$work/513.json"

# The same rows as SQL: products, prices, image rows, category links, in one transaction.
"$PY" - "$work/513.json" > "$work/rows.sql" <<'PYEOF'
import json, sys
content = json.load(open(sys.argv[1]))["content"]
q = lambda v: "NULL" if v is None else "'" + str(v).replace("'", "''") + "'"
print("CREATE TABLE p(id, sku, name); CREATE TABLE pr(id, pid, price); CREATE TABLE i(id, pid, thumb, full);"
      "CREATE TABLE x(pid, cid); BEGIN;")
n = 0
for p in content[0]:
    pid = p.get("productID") or p.get("product_id")
    print("INSERT INTO p VALUES(%s,%s,%s);" % (q(pid), q(p.get("sku")), q(p.get("name"))))
    n += 1
    for price in p.get("prices", []):
        print("INSERT INTO pr VALUES(%s,%s,%s);" % (q(price.get("priceID")), q(pid), q(price.get("price")))); n += 1
    for image in p.get("images", []):
        print("INSERT INTO i VALUES(%s,%s,%s,%s);" % (q(image.get("imageID")), q(pid), q(image.get("thumbAddress")),
                                                        q(image.get("fullAddress")))); n += 1
    for link in p.get("categories", []):
        print("INSERT INTO x VALUES(%s,%s);" % (q(pid), q(link if not isinstance(link, dict) else link.get("categoryID")))); n += 1
print("COMMIT;")
print(n, file=sys.stderr)
PYEOF
rows=$(wc -l < "$work/rows.sql")
start=$(date +%s.%N)
sqlite3 "$work/peer.sqlite" < "$work/rows.sql"
end=$(date +%s.%N)
"$PY" -c "d=$end-$start; print('== sqlite3 shell: %d statements in %.2f s, %.0f rows/s' % ($rows, d, $rows/d))"

"$PY" -c "import json,sys
names=[]
for p in json.load(open('$work/513.json'))['content'][0]:
    for i in p.get('images', []):
        names += [i['fullAddress'], i['thumbAddress']]
print('\n'.join(n for n in dict.fromkeys(names) if n))" > "$work/names"
count=$(wc -l < "$work/names")
mkdir -p "$work/files"
start=$(date +%s.%N)
sed "s|.*|-o $work/files/& -X POST http://127.0.0.1:$fport/brivanta_saas/images/AcmeCo/product/&|" "$work/names" \
  | xargs -P3 -n 150 curl -sS --fail
end=$(date +%s.%N)
"$PY" -c "d=$end-$start; print('== xargs -P3 curl: %d files in %.2f s, %.0f files/s' % ($count, d, $count/d))"
