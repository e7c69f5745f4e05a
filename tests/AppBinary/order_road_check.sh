#!/usr/bin/env bash
# The main road through the application binary against the local back end: log in, sync, add
# a product from the catalogue, choose the customer, save, sign the order's PDF, submit. The
# back end's log must hold the signed order.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"

# Positions: Chair One's cart button, its colour list and first colour, the sheet's add
# button, the customer field, the signature line once the PDF is scrolled to its end, and
# the save button of the question on leaving the PDF.
{ synced_lines; chair_order_lines Glo; cat <<SCRIPT; } > "$work/road.txt"
tap "Globex"
wait 0.5
tap "Save"
wait 1
tap "View as PDF"
wait 2
waitfor "E-mail" 60
screenshot $outdir/order-road-pdf.png
drag 500 600 500 100
wait 1
drag 500 600 500 100
wait 1
tap 818 315
wait 1
drag 200 300 400 500
drag 400 300 600 450
wait 0.5
tap "Done"
wait 1
tap "Back"
wait 1
tap 583 421
wait 1
tap "Submit"
waitfor "The order was submitted." 60
screenshot $outdir/order-road-submitted.png
SCRIPT
run_app "$work/home" "$work/road.txt"

/usr/bin/python3 - "$work/backend.log" <<'PY'
import base64, json, sys
from backend_log import uploaded_orders
orders = uploaded_orders(sys.argv[1])
if len(orders) != 1:
    sys.exit("expected one uploaded order, saw %d" % len(orders))
order = orders[0]
if order.get("customer_name") != "Globex" or str(order.get("customer_id")) != "9001":
    sys.exit("the order went up for another customer: %r" % order.get("customer_name"))
signature = base64.b64decode(order.get("signature") or "")
if not signature.startswith(b"\xff\xd8"):
    sys.exit("the uploaded order carries no signature picture")
items = order.get("order_item", {}).get("order_items", [])
if [i.get("order_item_sku") for i in items] != ["CH-1"]:
    sys.exit("the order's lines differ: %r" % items)
print("ok: the signed order for Globex reached the back end with its one line")
PY
