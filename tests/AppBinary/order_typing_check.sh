#!/usr/bin/env bash
# A line value typed in the order editor and never confirmed with Return is what every road
# out of the editor takes, through the binary against the local back end. Table One ($300) for
# Globex each time, with the value typed last and no Return:
#   quantity 4, then Submit: the back end gets 4 and $1,200.00, as the screen shows;
#   line discount 10 %, then Submit: the back end gets $270.00, as the screen shows;
#   quantity 4, then Order List and its Save: reopened from the list it shows 4;
#   quantity 4, then Save, then the program ends and starts again: it opens with 4.
# The database is read too: the screen, the device and the back end agree.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"

# A new order of one Table One for Globex, its note NOTE, in the editor.
table_order() {
  cat <<LINES
tap "Catalog"
waitfor "Table One" 60
tap 609 239
waitstill 30
tap 763 260
waitstill 30
waitfor "Orders" 30
tap "Orders"
waitfor "Table One" 60
tap 730 73
type "$1"
key return
tap 220 113
waitstill 30
type "Glo"
waitstill 30
waitfor "Globex" 30
tap "Globex"
waitstill 30
LINES
}

# Each road in a session of its own, so that a road that loses the value cannot lead the next
# one astray. Positions in the editor: the first line's quantity and discount fields.
quantity_lines='tap 510 243
key backspace
type 4'
discount_lines='tap 701 243
key backspace
key backspace
key backspace
key backspace
type 10'
submit_lines='tap "Submit"
waitfor "The order was submitted." 60'
failed=""
start=$(date +%s)
# road NAME TYPING THEN: a session in its own home, $work/NAME.
road() {
  { synced_lines; table_order "by $1"; printf '%s\n%s\n' "$2" "$3"; } > "$work/$1.txt"
  run_app "$work/$1" "$work/$1.txt" > "$work/$1.out" \
    || failed="$failed; by $1: $(grep -m1 'script failed' "$work/app.log" || tail -n 1 "$work/$1.out")"
}
road Submit "$quantity_lines" "$submit_lines
expect \"\$1,200.00\"
screenshot $outdir/order-typing-quantity.png"
road discount "$discount_lines" "$submit_lines
expect \"\$270.00\"
screenshot $outdir/order-typing-discount.png"
road leaving "$quantity_lines" 'tap "Order List"
waitfor "Do you want to save the changes to this order?" 10
tap "Save"
waitstill 30
waitfor "Unsubmitted" 30
tap "Unsubmitted"
waitfor "by leaving" 30
tap "by leaving"
waitfor "$1,200.00" 10'
road Save "$quantity_lines" 'tap "Save"
waitstill 30
waitfor "$1,200.00" 30
expect "$1,200.00"'

# The next start, logged in again: the saved order opens with what was typed.
{ relogin_lines; unsubmitted_lines; cat <<'SCRIPT'; } > "$work/restart.txt"
waitfor "by Save" 30
tap "by Save"
waitfor "$1,200.00" 10
SCRIPT
BRIVANTA_HOME=$work/Save "$app" --headless --script "$work/restart.txt" > "$work/restart.log" 2>&1 \
  || failed="$failed; by Save: after the restart the order does not open with 4"

status=0
/usr/bin/python3 - "$work/backend.log" "$work" <<'PY' || status=1
import json, sqlite3, sys
from backend_log import uploaded_orders
problems = []
sent = {order.get("customer_note"): order for order in uploaded_orders(sys.argv[1])}
# What the screen showed: quantity, discounted price, order total.
shown = {"by Submit": (4, 300.0, 1200.0), "by discount": (1, 270.0, 270.0)}
for note, (quantity, price, total) in shown.items():
    order = sent.get(note)
    if order is None:
        problems.append("the order %r never reached the back end" % note)
        continue
    items = order.get("order_item", {}).get("order_items", [])
    got = [(int(float(i.get("product_quantity"))), float(i.get("product_final_price"))) for i in items]
    if got != [(quantity, price)] or float(order.get("order_total")) != total:
        problems.append("%s: the back end got lines %r, total %r; the screen showed %d x %.2f = %.2f"
                        % (note, got, order.get("order_total"), quantity, price, total))
if set(sent) - set(shown):
    problems.append("other orders were sent: %r" % sorted(set(sent) - set(shown)))
stored = {}
for road in ("Submit", "discount", "leaving", "Save"):
    db = sqlite3.connect("%s/%s/Documents/acmeco/brivanta_lite.sqlite" % (sys.argv[2], road))
    stored.update(db.execute("SELECT o.customer_note, i.product_quantity || ' x ' || i.product_final_price || ', sent '"
                             " || o.uploaded FROM brivanta_quote_order o JOIN brivanta_quote_order_item i"
                             " ON i.order_id = o.order_id"))
want = {"by Submit": "4 x 300.0, sent 1", "by discount": "1 x 270.0, sent 1", "by leaving": "4 x 300.0, sent 0",
        "by Save": "4 x 300.0, sent 0"}
for note in want:
    if stored.get(note) != want[note]:
        problems.append("%s: the device stored %r, the screen showed %r" % (note, stored.get(note), want[note]))
print("\n".join(problems) or "ok: the values typed and not confirmed were sent, stored and shown alike")
sys.exit(1 if problems else 0)
PY
echo "ran in $(( $(date +%s) - start )) s"
[ -z "$failed" ] || { echo "${failed#; }"; exit 1; }
exit $status
