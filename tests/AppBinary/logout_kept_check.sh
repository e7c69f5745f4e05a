#!/usr/bin/env bash
# A logout keeps what the program's end keeps, against the local back end. In one session: an
# order of Table One ($300) for Globex being written, its quantity 4 typed and no Return, or a
# new customer's form being typed; then logout by the logo or by Settings, and alice logs in
# again: the order is listed under Unsubmitted with 4 x $300.00, the customer under Customers.
# Then bob (the same company) and the demo company log in: neither shows the order, the demo
# company not the customer (customers are the company's, orders their account's). The
# databases are read too: the order and the customer are stored once, unsent, under alice.
# Usage: logout_kept_check.sh APP [RUNS] (RUNS: "order-logo order-settings customer-logo
# customer-settings")
set -euo pipefail
app=$1
runs=${2:-order-logo order-settings customer-logo customer-settings}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/backend_support.sh"
source "$here/kept_support.sh"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
start_backend

# The login and the sync once; each run starts from a copy of that home.
synced_lines > "$work/sync.txt"
run_app "$work/template" "$work/sync.txt" || { echo "the login and sync failed"; exit 1; }

logout_lines() {
  if [ "$1" = logo ]; then
    printf '%s\n' "longpress 127 730" "waitstill 30" 'tap "Log Out"'
  else
    printf '%s\n' 'tap "Settings"' "waitstill 30" 'tap "Log Out"' 'waitfor "Do you want to log out?" 30' 'tap "OK"'
  fi
  printf '%s\n' 'waitfor "Log in" 60' "waitstill 30"
}

# The form keeps the last account and company: USER PASSWORD replace them, the company stays.
login_as() {
  cat <<LINES
tap 508 289
key end
$(for _ in $(seq 12); do echo "key backspace"; done)
type "$1"
tap 508 341
type "$2"
tap "Log in"
waitfor "Home" 60
waitstill 30
LINES
}

demo_login() {
  printf '%s\n' "tap 340 666" 'waitfor "Home" 60' "waitstill 30"
}

customers_lines() {
  printf '%s\n' 'tap "Customers"' "waitstill 30" 'waitfor "Customers" 30' 'tap "Customers"' "waitstill 30"
}

pid=""
for run in $runs; do
  what=${run%-*} by=${run#*-}
  home=$work/$run
  rm -rf "$home" && cp -a "$work/template" "$home"
  note="Kept at logout by $by"
  name="Logout Supply by $by"
  phone="555-01$(( ${#by} + 10 ))"
  {
    relogin_lines
    if [ "$what" = order ]; then
      # Table One for Globex, its note confirmed, its quantity 4 typed and not confirmed.
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
type "$note"
key return
tap 220 113
waitstill 30
type "Glo"
waitstill 30
waitfor "Globex" 30
tap "Globex"
waitstill 30
tap 510 243
key backspace
type 4
LINES
      logout_lines "$by"
      login_as alice 's3cret!'
      unsubmitted_lines
      cat <<LINES
waitstill 30
waitfor "$note" 30
tap "$note"
waitfor "\$1,200.00" 30
screenshot $work/$run.png
LINES
      logout_lines logo
      login_as bob hunter2
      unsubmitted_lines
      printf '%s\n' "waitstill 30" "waitgone \"$note\" 1"
      logout_lines logo
      demo_login
      unsubmitted_lines
      printf '%s\n' "waitstill 30" "waitgone \"$note\" 1"
    else
      # A new customer, its name typed, then its phone typed and not confirmed.
      customers_lines
      cat <<LINES
waitfor "Globex" 60
tap 320 22
waitstill 30
tap 800 196
type "$name"
waitstill 30
tap 800 307
type "$phone"
waitstill 30
LINES
      logout_lines "$by"
      login_as alice 's3cret!'
      customers_lines
      cat <<LINES
waitfor "Globex" 60
waitfor "$name" 30
tap "$name"
waitfor "$phone" 30
screenshot $work/$run.png
LINES
      logout_lines logo
      demo_login
      customers_lines
      printf '%s\n' "waitstill 30" "waitgone \"$name\" 1"
    fi
  } > "$work/$run.txt"
  status=0
  BRIVANTA_HOME=$home "$app" --headless --script "$work/$run.txt" > "$work/$run.log" 2>&1 || status=$?
  ended_cleanly "$run" "$work/$run.log"
  # As stored: once, unsent, in alice's company's database under alice; nothing in the demo's.
  /usr/bin/python3 - "$home/Documents" "$run" "$what" "$note" "$name" "$phone" <<'PY'
import sqlite3, sys
docs, run, what, note, name, phone = sys.argv[1:7]
company = sqlite3.connect(docs + "/acmeco/brivanta_lite.sqlite")
demo = sqlite3.connect(docs + "/tolbernix_/brivanta_lite.sqlite")
problems = []
if what == "order":
    orders = company.execute("SELECT order_id, account_id, customer_name, uploaded FROM brivanta_quote_order"
                             " WHERE customer_note = ?", (note,)).fetchall()
    if len(orders) != 1 or orders[0][1:] != ("alice", "Globex", 0):
        problems.append("expected one unsent order of alice's for Globex, stored %r" % orders)
    else:
        lines = company.execute("SELECT product_quantity, product_final_price FROM brivanta_quote_order_item"
                                " WHERE order_id = ?", (orders[0][0],)).fetchall()
        if lines != [(4, 300.0)]:
            problems.append("the order's lines were stored as %r, expected 4 x 300.0" % lines)
    leaked = demo.execute("SELECT count(*) FROM brivanta_quote_order WHERE customer_note = ?", (note,)).fetchone()[0]
else:
    rows = company.execute("SELECT customer_id FROM brivanta_customer WHERE customer_name = ?", (name,)).fetchall()
    if len(rows) != 1 or rows[0][0] >= 0:
        problems.append("expected the one local customer %r, stored %r" % (name, rows))
    else:
        phones = company.execute("SELECT a.attribute_value FROM brivanta_customer_attribute a JOIN"
                                 " brivanta_fields_customer_attribute f ON a.attribute_fields_id = f.field_id"
                                 " WHERE a.customer_id = ? AND f.field_name = 'Phone'", rows[0]).fetchall()
        unsent = company.execute("SELECT count(*) FROM brivanta_customer_unsent WHERE customer_id = ?", rows[0]).fetchone()[0]
        if phones != [(phone,)] or unsent == 0:
            problems.append("the customer was stored with phones %r, unsent %r" % (phones, unsent))
    leaked = demo.execute("SELECT count(*) FROM brivanta_customer WHERE customer_name = ?", (name,)).fetchone()[0]
if leaked:
    problems.append("the demo company's database holds it too")
for problem in problems:
    print("%s: %s" % (run, problem))
sys.exit(1 if problems else 0)
PY
  echo "ok: $run: kept at the logout, shown to alice again and to no one else"
done
