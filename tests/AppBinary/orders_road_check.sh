#!/usr/bin/env bash
# The orders tab through the application binary against the local back end: log in, open the
# tab, pull up for older orders, copy one from a long press, submit the copy from the
# unsubmitted list, open the submitted copy. What the back end saw is read from its log.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"

# The first tap on the tab bar may only close the one-time hint above the logo. A pull-up is
# a finger held while it climbs, so the drag is slow.
{ login_lines; cat <<SCRIPT; } > "$work/orders.txt"
tap "Log in"
waitfor "Home" 60
tap "Orders"
wait 1
tap "Orders"
wait 1
waitfor "Order List" 60
drag 500 670 500 170 1.0
wait 2
waitfor "Globex" 60
screenshot $outdir/orders-loaded.png
longpress 300 177
expect "Copy"
screenshot $outdir/orders-popover.png
tap "Copy"
wait 1
tap "Unsubmitted"
wait 1
waitfor "Globex" 60
screenshot $outdir/orders-copy.png
tap "Submit"
waitfor "The order was submitted." 60
screenshot $outdir/orders-submitted.png
tap "OK"
wait 1
tap "Submitted"
wait 1
tap 300 177
wait 1
screenshot $outdir/orders-editor.png
SCRIPT
run_app "$work/home" "$work/orders.txt"

/usr/bin/python3 - "$work/backend.log" <<'PY'
import json, sys
from backend_log import records as read_records
records = read_records(sys.argv[1])
commands = [r.get("command") for r in records if isinstance(r, dict)]
history = [r for r in records if isinstance(r, dict) and r.get("command") == "265-history"]
if not history or history[0].get("parameters", {}).get("numberOfOrder") != "10":
    sys.exit("the pull-up asked for no ten older orders: %r" % commands)
uploads = [r for r in records if isinstance(r, dict) and r.get("command") == "518"]
if len(uploads) != 1:
    sys.exit("expected one order upload, saw %d: %r" % (len(uploads), commands))
sent = json.loads(uploads[0]["parameters"]["syncData"])["order"]
if len(sent) != 1 or sent[0].get("customer_name") != "Globex" or not sent[0]["order_item"]["order_items"]:
    sys.exit("the upload did not hold the copy alone with its lines: %r" % sent)
print("ok: ten older orders pulled up, a copy made, submitted alone, opened")
PY
