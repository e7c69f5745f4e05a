#!/usr/bin/env bash
# A new customer's upload whose answer is lost, then changed by the office before the device tries
# again, through the application binary against the local back end. The order editor makes
# "Initech" (its street from the address popup, its phone 555-USER typed on the customer screen)
# with an order. After a new login Submit All stores it as 9002 but loses the answer; the office
# sets 9002's phone to 555-OFFICE and its level to Silver. This device logs in again, syncs first
# ("sync") or not ("nosync"), and submits all. The server must hold one Initech, with the office's
# phone and level and the order on it, and a second device's full sync must show the same.
# Usage: customer_office_edit_check.sh APP [MODES] (MODES: "nosync sync")
set -euo pipefail
app=$1
modes=${2:-nosync sync}
source "$(dirname "$0")/backend_support.sh"


for mode in $modes; do
  start_backend
  new_customer_lines Initech "2 Side St" 555-USER > "$work/make.txt"
  run_app "$work/home-$mode" "$work/make.txt"
  control '{"faults": [{"target": "520", "kind": "truncate", "fraction": 0.5, "times": 1}]}'

  { relogin_lines; submit_all_lines; echo 'waitfor "Network error" 60'; } > "$work/lost.txt"
  "$app" --headless --script "$work/lost.txt" > "$work/app.log" 2>&1 || { tail -n 20 "$work/app.log"; exit 1; }
  control '{"customerEdits": [{"customerId": 9002, "attributes": {"11": "555-OFFICE", "4": "Silver"}}]}'

  { relogin_lines
    if [ "$mode" = sync ]; then
      printf '%s\n' 'tap "Sync"' 'tap "Get Updates"' 'waitgone "0%" 60' 'waitgone "remaining" 60'
    fi
    submit_all_lines; echo 'waitfor "The order was submitted." 60'; } > "$work/again.txt"
  "$app" --headless --script "$work/again.txt" > "$work/app.log" 2>&1 || { tail -n 20 "$work/app.log"; exit 1; }

  # Another device of the company: a fresh home, a login and a whole sync.
  synced_lines > "$work/second.txt"
  run_app "$work/second-$mode" "$work/second.txt"

  curl -sS "http://127.0.0.1:$cport/__state" > "$work/state.json"
  /usr/bin/python3 - "$work/state.json" "$mode" "$work/second-$mode" <<'PY'
import json, os, sqlite3, sys
state = json.load(open(sys.argv[1]))
mode = sys.argv[2]
def value(customer, field):
    return next((a["attributeValue"] for a in customer["attributes"] if a["attributeFieldsId"] == field), None)
initechs = {c["customerId"]: (value(c, 11), value(c, 4), value(c, 14))
            for c in state["serverCustomers"] if c["customerName"] == "Initech"}
if initechs != {9002: ("555-OFFICE", "Silver", "2 Side St")}:
    sys.exit("%s: the server should hold one Initech, 9002, with the office's phone and level: %r" % (mode, initechs))
orders = [o["customerId"] for o in state["orders"] if o["source"] == "upload"]
if orders != [9002]:
    sys.exit("%s: the order should be on 9002, it is on %r" % (mode, orders))
database = os.path.join(sys.argv[3], "Documents", "acmeco", "brivanta_lite.sqlite")
if not os.path.exists(database):
    sys.exit("%s: the second device has no database at %s" % (mode, database))
db = sqlite3.connect(database)
held = db.execute("select c.customer_id, f.field_name, a.attribute_value from brivanta_customer c "
                  "join brivanta_customer_attribute a on a.customer_id = c.customer_id "
                  "join brivanta_fields_customer_attribute f on f.field_id = a.attribute_fields_id "
                  "where c.customer_name = 'Initech' and f.field_name in ('Phone', 'Level')").fetchall()
if sorted(held) != [(9002, "Level", "Silver"), (9002, "Phone", "555-OFFICE")]:
    sys.exit("%s: the second device should hold 9002 with the office's phone and level: %r" % (mode, held))
print("ok (%s): one Initech with the office's phone and level, the order on it, on a second device too" % mode)
PY
  kill "$backend" 2>/dev/null || true
  wait "$backend" 2>/dev/null || true
  backend=""
done
