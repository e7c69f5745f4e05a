#!/usr/bin/env bash
# What is being typed is kept whatever screen is up when the program ends. In the demo: a new
# customer's name and industry typed and left in its form, then an order of ten Compact
# Writing Desks in beech for Delta Freight Lines with a note, then a screen opened over it (the
# reader, a product's related items or files, the image viewer, the order's PDF), and the
# program ended by its script's end, by SIGTERM or by closing its window. Each run exits 0 and
# stores the order once with its note and the customer once, unsent.
# Usage: pushed_screens_kept_check.sh APP [RUNS] (RUNS: "reader:end reader:sigterm ...")
set -euo pipefail
app=$1
runs=${2:-reader:end reader:sigterm reader:window related:sigterm viewer:end files:window pdf:sigterm}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pid=""
trap '{ [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; } || true; rm -rf "$work"' EXIT
export BRIVANTA_NETWORK=none
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
source "$here/kept_support.sh"

prepare_demo "$work/template"

typing() {
  cat <<'LINES'
waitstill 30
tap 340 666
waitfor "Home" 60
tap "Customers"
waitstill 30
tap "Customers"
waitfor "Delta Freight Lines" 60
tap 320 22
waitstill 30
tap 800 196
type "Night Owl Traders"
tap 800 233
type "Logistics"
waitstill 30
tap "Catalog"
waitstill 30
tap "Catalog"
waitfor "Compact Writing Desk" 60
tap 609 451
waitstill 30
tap 122 317
waitstill 30
tap "Beech"
waitstill 30
tap "Add to Order"
waitstill 30
tap "Orders"
waitstill 30
tap "Orders"
waitfor "Add Products" 60
tap 510 243
key backspace
type "10"
tap 222 113
waitstill 30
type "Delta"
waitstill 30
tap "Delta Freight Lines"
waitstill 30
tap 730 73
type "Deliver by Friday"
waitstill 30
LINES
}

# The screen opened over the work, from where the typing left off.
screen_lines() {
  case $1 in
    reader) printf '%s\n' 'tap "Library"' 'waitstill 30' 'tap "Library"' 'waitfor "Seating Guide" 60' \
      'tap "Seating Guide"' 'waitfor "1 of" 60' 'waitstill 30' ;;
    related | files | viewer)
      printf '%s\n' 'tap "Catalog"' 'waitstill 30' 'tap "Catalog"' 'waitfor "Aria Mesh Task Chair" 60' 'tap 925 130' \
        'waitfor "TX-CH-101" 60' 'waitstill 30'
      case $1 in
        related) printf '%s\n' 'tap 642 414' 'waitfor "Aria Executive Chair" 60' ;;
        files) printf '%s\n' 'tap 694 414' 'waitfor "Seating Guide" 60' ;;
        viewer) printf '%s\n' 'tap 320 300' 'waitfor "Close" 60' ;;
      esac
      echo 'waitstill 30' ;;
    pdf) printf '%s\n' 'tap "View as PDF"' 'waitfor "E-mail" 60' 'waitstill 30' ;;
    *) echo "unknown screen $1" >&2; exit 2 ;;
  esac
}

for run in $runs; do
  screen=${run%%:*} mode=${run##*:}
  home=$work/$screen-$mode
  rm -rf "$home" && cp -a "$work/template" "$home"
  log=$work/$screen-$mode.log status=0
  { typing; screen_lines "$screen"; echo "screenshot $work/typed.png"; } > "$work/type.txt"
  if [ "$mode" = end ]; then
    BRIVANTA_HOME=$home "$app" --headless --script "$work/type.txt" > "$log" 2>&1 || status=$?
    [ -e "$work/typed.png" ] || { tail -n 20 "$log"; echo "$run: the screen was never opened"; exit 1; }
  else
    echo 'waitfor "never shown" 120' >> "$work/type.txt"
    end_when_typed "$mode" "$work/type.txt" "$home" "$log" "the screen"
  fi
  ended_cleanly "$run" "$log"
  /usr/bin/python3 - "$home/Documents/tolbernix_/brivanta_lite.sqlite" "$run" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
run = sys.argv[2]
orders = db.execute("SELECT order_id, customer_id, customer_name, customer_note, order_total, uploaded"
                    " FROM brivanta_quote_order").fetchall()
if len(orders) != 1:
    sys.exit("%s: %d orders stored, expected the one being written" % (run, len(orders)))
order_id, customer_id, name, note, total, uploaded = orders[0]
if (customer_id, name, note, total, uploaded) != (3, "Delta Freight Lines", "Deliver by Friday", 3100.0, 0):
    sys.exit("%s: the order was stored as %r" % (run, orders[0]))
lines = db.execute("SELECT order_item_sku, product_quantity, product_attribute FROM brivanta_quote_order_item"
                   " WHERE order_id = ?", (order_id,)).fetchall()
if lines != [("TX-DK-203", 10, "Color:Beech")]:
    sys.exit("%s: the order's lines were stored as %r" % (run, lines))
customers = db.execute("SELECT customer_id FROM brivanta_customer WHERE customer_name = 'Night Owl Traders'").fetchall()
if len(customers) != 1 or customers[0][0] >= 0:
    sys.exit("%s: the customer being typed was stored as %r" % (run, customers))
industry = db.execute("SELECT attribute_value FROM brivanta_customer_attribute WHERE customer_id = ?"
                      " AND attribute_value = 'Logistics'", (customers[0][0],)).fetchall()
if len(industry) != 1:
    sys.exit("%s: the customer's last field was not kept" % run)
PY
  echo "ok: $run kept the order and the customer once"
done
