#!/usr/bin/env bash
# An order being written when the program ends is kept: a new order of three Compact Writing
# Desks in beech at a 10 % line discount, for Delta Freight Lines, with a note still being
# typed; the program ended by SIGTERM, by closing its window, and by its script's end. Each
# time it exits 0, and
# the next start lists the order under Unsubmitted with its line, quantity, discount, note and
# customer, nothing sent. Usage: order_kept_check.sh APP [MODES] (MODES: "sigterm window end")
set -euo pipefail
app=$1
modes=${2:-sigterm window end}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pid=""
trap '{ [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; } || true; rm -rf "$work"' EXIT
export BRIVANTA_NETWORK=none
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
source "$here/kept_support.sh"

prepare_demo "$work/template"

# The order typed; the note is still being typed when the program is ended.
cat > "$work/type.txt" <<LINES
wait 1
tap 340 666
waitfor "Home" 60
tap "Catalog"
wait 1
tap "Catalog"
waitfor "Compact Writing Desk" 60
tap 609 451
wait 1
tap 122 317
wait 1
tap "Beech"
wait 0.5
tap 183 469
tap 183 469
tap "Add to Order"
wait 1
tap "Orders"
wait 1
tap "Orders"
waitfor "Add Products" 60
tap 700 243
wait 0.5
key backspace
key backspace
key backspace
key backspace
type "10"
tap 222 113
wait 0.5
type "Delta"
wait 1
tap "Delta Freight Lines"
wait 0.5
tap 730 73
type "Deliver by Friday"
wait 0.5
screenshot $work/typed.png
waitfor "never shown" 120
LINES

# The next start: the order is listed under Unsubmitted and opens whole.
cat > "$work/check.txt" <<'LINES'
wait 1
tap 340 666
waitfor "Home" 60
tap "Orders"
wait 1
tap "Orders"
wait 1
tap "Unsubmitted"
waitfor "Delta Freight Lines" 30
tap "Delta Freight Lines"
waitfor "Deliver by Friday" 30
expect "Compact Writing Desk"
expect "Color: Beech"
expect "$837.00"
LINES

for mode in $modes; do
  home=$work/$mode
  rm -rf "$home" && cp -a "$work/template" "$home"
  log=$work/$mode.log status=0
  if [ "$mode" = end ]; then
    # The session ends with its script, right after the typing.
    sed '$d' "$work/type.txt" > "$work/end.txt"
    BRIVANTA_HOME=$home "$app" --headless --script "$work/end.txt" > "$log" 2>&1 || status=$?
  else
    end_when_typed "$mode" "$work/type.txt" "$home" "$log" "the order"
  fi
  ended_cleanly "$mode" "$log"
  # As stored: one unsubmitted, unsent order with its line.
  /usr/bin/python3 - "$home/Documents/tolbernix_/brivanta_lite.sqlite" "$mode" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
orders = db.execute("SELECT order_id, customer_id, customer_name, customer_note, order_total, order_status, uploaded"
                    " FROM brivanta_quote_order").fetchall()
if len(orders) != 1:
    sys.exit("%s: %d orders stored, expected the one being written" % (sys.argv[2], len(orders)))
order_id, customer_id, name, note, total, status, uploaded = orders[0]
if (customer_id, name, note, total, status, uploaded) != (3, "Delta Freight Lines", "Deliver by Friday", 837.0, 0, 0):
    sys.exit("%s: the order was stored as %r" % (sys.argv[2], orders[0]))
lines = db.execute("SELECT order_item_sku, product_quantity, product_final_price, order_item_subtotal, product_attribute"
                   " FROM brivanta_quote_order_item WHERE order_id = ?", (order_id,)).fetchall()
if lines != [("TX-DK-203", 3, 279.0, 837.0, "Color:Beech")]:
    sys.exit("%s: the order's lines were stored as %r" % (sys.argv[2], lines))
PY
  BRIVANTA_HOME=$home "$app" --headless --script "$work/check.txt" > "$work/$mode-check.log" 2>&1 \
    || { tail -n 20 "$work/$mode-check.log"; echo "$mode: the next start does not list the order whole"; exit 1; }
  echo "ok: the order being written was kept when the program ended by $mode"
done
