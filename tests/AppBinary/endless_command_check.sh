#!/usr/bin/env bash
# The sync's customer table, then an order's upload, answered without end at 1,500 bytes a
# second, above the pace every answer is held to: each ends at its time bound (shrunk here by
# BRIVANTA_TEST_LIMITS) with the network's message, is not sent again by itself, and the
# controls come back: "Get Updates" syncs, and Submit submits the order.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"
export BRIVANTA_TEST_LIMITS="tableSeconds=8,commandSeconds=6"

control '{"faults": [{"target": "516", "kind": "endless", "bytesPerSecond": 1500, "times": 1},
         {"target": "518", "kind": "endless", "bytesPerSecond": 1500, "times": 1}]}'

{ login_lines; cat <<SCRIPT; chair_order_lines Glo; cat <<SCRIPT2; } > "$work/endless.txt"
tap "Log in"
waitfor "Home" 60
tap "Sync"
tap "Get Updates"
waitfor "Network error" 40
wait 1
screenshot $outdir/endless-customers-failed.png
tap "OK"
waitgone "Network error" 10
tap "Get Updates"
waitgone "0%" 60
waitgone "remaining" 60
SCRIPT
tap "Globex"
wait 0.5
tap "Submit"
waitfor "Network error" 40
wait 1
screenshot $outdir/endless-upload-failed.png
tap "OK"
waitgone "Network error" 10
tap "Submit"
waitfor "The order was submitted." 60
SCRIPT2
run_app "$work/home" "$work/endless.txt"

/usr/bin/python3 - "$work/backend.log" "$work/app.log" <<'PY'
import sys
from backend_log import records as read_records, uploaded_orders
records = read_records(sys.argv[1])
app_log = open(sys.argv[2], errors="replace").read()
def faults(command):
    return [(r.get("answer") or {}).get("fault") for r in records if r.get("command") == command]
if faults("516") != ["endless", None]:
    sys.exit("the customer tables were answered %r, not once without end and then whole" % faults("516"))
if faults("518") != ["endless", None]:
    sys.exit("the order uploads were answered %r, not once without end and then whole" % faults("518"))
tables = [(r.get("parameters") or {}).get("tableType") for r in records if r.get("command") == "517"]
if "customer" not in tables:
    sys.exit("the second sync did not confirm its customers: %r" % tables)
numbers = {o.get("order_number") for o in uploaded_orders(sys.argv[1])}
if len(numbers) != 1:
    sys.exit("the uploads carried %d orders, not the one submitted twice" % len(numbers))
import re
# Each bound is the limit named above and the request body's time at a slow link's pace.
for bound in ("8", "6"):
    if not re.search(r"the answer did not end within %s(\.\d+)? s" % bound, app_log):
        sys.exit("no answer ended at its bound of %s s" % bound)
print("ok: the endless customer table and order upload each ended at their bound, and both went through again")
PY
