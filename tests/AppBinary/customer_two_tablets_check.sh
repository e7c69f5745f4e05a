#!/usr/bin/env bash
# Two tablets of one account against the local back end, each in a home of its own (so each has
# its own device id). Each makes a "Twin" with an order from the order editor (A: phone 111,
# 1 One St; B: phone 222, 2 Two St), both numbered alike on their tablets. A's Submit All stores
# its Twin but loses the answer; B's Submit All stores B's Twin and order. The office gives A's
# stored copy a number, so A cannot take it for its own. A starts again, logs in offline,
# renames its Twin and sends it from the Customers pane, B's sync reaching the back end between
# A's check and A's upload; then A submits its order. No customer of either tablet may lose a
# value it had, A's rename must land on A's own customer (its session outlived the run), and
# each order must be on a customer with its own tablet's values.
# Usage: customer_two_tablets_check.sh APP
set -euo pipefail
app=$1
source "$(dirname "$0")/backend_support.sh"
helper=""
trap '{ [ -n "$helper" ] && kill "$helper" 2>/dev/null; } || true; { [ -n "$backend" ] && kill "$backend" 2>/dev/null; } || true; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT

start_backend --held-file "$work/held"

# A run of the tablet in that home.
tablet() {
  BRIVANTA_HOME=$1 "$app" --headless --script "$2" > "$work/app.log" 2>&1 || { tail -n 20 "$work/app.log"; exit 1; }
}

new_customer_lines Twin "1 One St" 111 > "$work/make-a.txt"
run_app "$work/tablet-a" "$work/make-a.txt"
new_customer_lines Twin "2 Two St" 222 > "$work/make-b.txt"
run_app "$work/tablet-b" "$work/make-b.txt"

control '{"faults": [{"target": "520", "kind": "truncate", "fraction": 0.5, "times": 1}]}'
{ relogin_lines; submit_all_lines; echo 'waitfor "Network error" 60'; } > "$work/lost.txt"
tablet "$work/tablet-a" "$work/lost.txt"
{ relogin_lines; submit_all_lines; echo 'waitfor "The order was submitted." 60'; } > "$work/b-submits.txt"
tablet "$work/tablet-b" "$work/b-submits.txt"
control '{"customerEdits": [{"customerId": 9002, "fields": {"customerInfoId": "C-1"}}]}'

# The tablets' device ids, as their logins named them: A's came first.
read -r device_a device_b < <(/usr/bin/python3 - "$work/backend.log" <<'PY'
import sys
from backend_log import records
seen = []
for r in records(sys.argv[1]):
    device = (r.get("parameters") or {}).get("deviceId")
    if r.get("command") == "258" and device and device not in seen:
        seen.append(device)
print(" ".join(seen[:2]))
PY
)
[ -n "${device_b:-}" ] || { echo "the two tablets did not log in as two devices"; exit 1; }

# Tablet B syncs its customers while A's upload is held at the back end.
: > "$work/held"
(
  for _ in $(seq 2400); do
    grep -qx 520 "$work/held" && break
    sleep 0.05
  done
  curl -sS -X POST --data-binary "{\"root\":{\"parameters\":{\"methodName\":\"syncData\",\"accountId\":\"alice\",\"clientId\":\"AcmeCo\",\"deviceId\":\"$device_b\",\"syncType\":\"customer\",\"isFull\":\"false\"}}}" \
    "http://127.0.0.1:$cport/BrivantaSaas/SyncServer;" > "$work/b-sync.json"
) &
helper=$!
control '{"faults": [{"target": "258", "kind": "status", "status": "999", "times": 1}, {"target": "520", "kind": "delay", "seconds": 4, "times": 1}]}'
{ cat <<'SCRIPT'
waitfor "Log in" 60
tap 508 341
type "s3cret!"
tap "Log in"
waitfor "OK" 60
tap "OK"
waitfor "Home" 60
tap "Customers"
waitstill 30
waitfor "Customers" 30
tap "Customers"
waitfor "Twin" 60
tap "Twin"
waitstill 30
tap "Edit"
waitstill 30
tap 800 196
type " Renamed"
tap "Done"
waitstill 30
expect "Twin Renamed"
tap "Submit"
waitstill 30
waitfor "Submit" 30
tap "Submit"
waitgone "111" 60
SCRIPT
  submit_all_lines; echo 'waitfor "The order was submitted." 60'; } > "$work/resend.txt"
tablet "$work/tablet-a" "$work/resend.txt"
wait "$helper" || true
helper=""
[ -s "$work/b-sync.json" ] || { echo "tablet B's sync never came between A's check and A's upload"; exit 1; }

curl -sS "http://127.0.0.1:$cport/__state" > "$work/state.json"
/usr/bin/python3 - "$work/state.json" "$work/backend.log" "$device_a" "$device_b" <<'PY'
import json, sys, time
from backend_log import records
state = json.load(open(sys.argv[1]))
def value(customer, field):
    return next((a["attributeValue"] for a in customer["attributes"] if a["attributeFieldsId"] == field), None)
customers = {c["customerId"]: (c["customerName"], value(c, 11), value(c, 14)) for c in state["serverCustomers"]}
problems = []
# What each tablet's Twin held when it was first stored.
if customers.get(9003) != ("Twin", "222", "2 Two St"):
    problems.append("tablet B's Twin 9003 should keep its name, phone 222 and street: %r" % (customers.get(9003),))
# A's re-send after its offline login carried the session its last login left: the rename
# lands on A's own 9002, and on no other customer.
if customers.get(9002) != ("Twin Renamed", "111", "1 One St"):
    problems.append("tablet A's Twin 9002 should be renamed and keep phone 111 and its street: %r" % (customers.get(9002),))
if sum(c[0] == "Twin Renamed" for c in customers.values()) != 1:
    problems.append("tablet A's renamed Twin should be on the server once: %r" % customers)
orders = sorted(customers.get(o["customerId"], (None, None))[1] or "" for o in state["orders"] if o["source"] == "upload")
if orders != ["111", "222"]:
    problems.append("each order should be on its own tablet's customer (phones %r)" % orders)
# The road taken: B's sync came between A's check and A's upload (the log is in answer order).
# The back end writes its log a fifth of a second behind its answers: wait for A's last order.
for _ in range(100):
    sequence = [(r.get("command"), (r.get("parameters") or {}).get("deviceId")) for r in records(sys.argv[2])]
    commands = [command for command, _ in sequence]
    if "520" in commands and "518" in commands[len(commands) - commands[::-1].index("520"):]:
        break
    time.sleep(0.1)
last = max(i for i, (command, _) in enumerate(sequence) if command == "520")
before = [device for command, device in sequence[:last] if command == "516"]
if before[-2:] != [sys.argv[3], sys.argv[4]]:
    problems.append("the customer syncs before A's upload came from %r, not A's then B's" % before[-2:])
if problems:
    sys.exit("\n".join(problems) + "\nserver customers: %r" % customers)
print("ok: two tablets' Twins kept apart, A's rename sent after an offline login, each order on its own tablet's customer")
PY
