#!/usr/bin/env bash
# kill -9 during a full-resync login with unsent orders and customers, at a random moment or a
# random time after the client folder moves aside; then a launch, a login and Submit All. Each
# unsent order and customer must be on the device once and reach the back end once.
# Usage: bench/resync_kill.sh [application binary, default build/bin/brivanta] [runs, default 20]
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
app=${1:-$here/build/bin/brivanta}; runs=${2:-20}
source "$here/tests/AppBinary/backend_support.sh"
start_backend
cat > "$work/killer.py" <<'PY'
import os, random, signal, subprocess, sys, time
app, script, log, docs, mode = sys.argv[1:6]
out = open(log, "w")
p = subprocess.Popen([app, "--headless", "--script", script], stdout=out, stderr=subprocess.STDOUT)
seen = None
if mode == "random":
    time.sleep(random.uniform(0.5, 6))
else:
    deadline = time.time() + 30
    while time.time() < deadline and p.poll() is None:
        try:
            if any(n.startswith(".resync-") for n in os.listdir(docs)):
                seen = time.time(); break
        except FileNotFoundError:
            pass
    lo, _, hi = mode.partition("-")
    time.sleep(random.uniform(float(lo), float(hi)) if hi else random.uniform(0, float(lo)))
p.send_signal(signal.SIGKILL); p.wait()
aside = [n for n in os.listdir(docs) if n.startswith(".resync-")]
newdb = os.path.exists(os.path.join(docs, "acmeco", "brivanta_lite.sqlite"))
print("seen=%s aside=%d newdb=%d" % (seen is not None, len(aside), newdb))
PY
ctl() { curl -s -X POST "http://127.0.0.1:$cport/__control" -d "$1" > /dev/null; }
first_lines() { login_lines; }
again_lines() { cat <<'L'
wait 3
tap 508 289
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
type alice
tap 508 341
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
type "s3cret!"
tap 508 393
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
key backspace
type AcmeCo
L
}
failed=0
for run in $(seq "$runs"); do
  home="$work/home-$run"
  ctl '{"reset": true}'
  { first_lines; echo 'tap "Log in"'; echo 'waitfor "Home" 60'; } > "$work/first.txt"
  prepare_home "$home"
  "$app" --headless --script "$work/first.txt" > "$work/first-$run.log" 2>&1 || { echo "run $run: first login failed"; tail -5 "$work/first-$run.log"; continue; }
  db="$home/Documents/acmeco/brivanta_lite.sqlite"
  python3 - "$db" "$run" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1]); r = sys.argv[2]
p = db.execute("select product_id, product_sku, product_name from brivanta_product limit 1").fetchone() or (1, "SKU-1", "Chair")
for i in (1, 2, 3):
    cid = -200 - (i % 2)
    db.execute("insert into brivanta_quote_order(order_id, customer_id, customer_name, order_number, order_total, order_subtotal, order_currency, cdate, mdate, uploaded, order_status) values (?,?,?,?,10,10,'USD','12/08/2026 05:00:0%d','12/08/2026 05:00:0%d',0,0)" % (i, i),
               (-100 - i, cid, "Kill Cust %d" % (i % 2), "kill-%s-%d" % (r, i)))
    db.execute("insert into brivanta_quote_order_item(order_id, product_id, order_item_sku, order_item_name, product_quantity, product_item_price, product_final_price, order_item_currency, order_item_subtotal) values (?,?,?,?,1,10,10,'USD',10)", (-100 - i, p[0], p[1], p[2]))
for k in (0, 1):
    db.execute("insert into brivanta_customer(customer_id, customer_name, customer_publish) values (?,?,1)", (-200 - k, "Kill Cust %d" % k))
    db.execute("insert into brivanta_customer_address(customer_id, address, city, state, zip_code, isDefault) values (?,?,?,?,?,1)", (-200 - k, "%d Kill Road" % k, "Town", "ST", "0000"))
db.commit()
PY
  ctl '{"perRun": {"syncAll": 1}}'
  { again_lines; echo 'tap "Log in"'; echo 'waitfor "Home" 60'; } > "$work/resync.txt"
  modes=(random 0.005 0.1 0.2-0.35 0.3-0.45 0.6); mode=${modes[$(( run % 6 ))]}
  killinfo=$(python3 "$work/killer.py" "$app" "$work/resync.txt" "$work/resync-$run.log" "$home/Documents" "$mode")
  state=$(ls -a "$home/Documents" | grep -c '^\.resync-')
  ctl '{"perRun": {"syncAll": 0}}'
  from=$(curl -s "http://127.0.0.1:$cport/__state" | python3 -c 'import json,sys; d=json.load(sys.stdin); print(len(d.get("orders", [])))')
  { again_lines; cat <<'S'; } > "$work/after.txt"
tap "Log in"
waitfor "Home" 60
tap "Orders"
wait 1
tap "Orders"
wait 1
waitfor "Order List" 60
tap "Unsubmitted"
wait 1
tap "Submit All"
waitfor "The order was submitted." 60
tap "OK"
wait 1
S
  "$app" --headless --script "$work/after.txt" > "$work/after-$run.log" 2>&1 || { echo "run $run: after-launch script failed"; tail -3 "$work/after-$run.log"; }
  verdict=$(python3 - "$db" "$run" "$cport" <<'PY'
import sqlite3, sys, json, urllib.request
db = sqlite3.connect(sys.argv[1]); r = sys.argv[2]
nums = ["kill-%s-%d" % (r, i) for i in (1, 2, 3)]
bad = []
for n in nums:
    rows = db.execute("select uploaded from brivanta_quote_order where order_number = ?", (n,)).fetchall()
    if len(rows) != 1: bad.append("%s local x%d" % (n, len(rows)))
    elif rows[0][0] != 1: bad.append("%s not uploaded" % n)
for k in (0, 1):
    c = db.execute("select count(*) from brivanta_customer where customer_name = ?", ("Kill Cust %d" % k,)).fetchone()[0]
    if c != 1: bad.append("customer %d local x%d" % (k, c))
state = json.load(urllib.request.urlopen("http://127.0.0.1:%s/__state" % sys.argv[3]))
orders = {o.get("order_number"): o for o in state.get("orders", [])}
for n in nums:
    o = orders.get(n)
    times = o.get("received", o.get("times", o.get("count"))) if o else 0
    if not o or times != 1: bad.append("%s on server %r" % (n, times))
custs = [c for c in state.get("customers", []) if str(c.get("localId")) in ("-200", "-201") and "address" not in str(c.get("table"))]
for c in custs:
    if c.get("received", 1) != 1: bad.append("customer %s received %r" % (c.get("localId"), c.get("received")))
names = [c.get("customerName") for c in state.get("serverCustomers", []) if str(c.get("customerName", "")).startswith("Kill Cust")]
if sorted(names) != ["Kill Cust 0", "Kill Cust 1"]: bad.append("server customers %r" % names)
print("ok" if not bad else "BAD " + "; ".join(bad))
PY
)
  echo "run $run: kill=$mode $killinfo $verdict"
  [[ $verdict == ok* ]] || failed=$((failed + 1))
done
echo "$failed of $runs runs lost or doubled work"
[ "$failed" -eq 0 ]
