#!/usr/bin/env bash
# A new customer being typed when the program ends is kept, against the local back end: after
# a login and a sync, New, a name and a phone typed, the last of them still being typed, then
# the program ended by SIGTERM or by closing its window. Each time it exits 0, the database
# holds the customer once, unsent, and the next start lists it; its Submit sends it to the
# back end. A form Done would refuse (no name) stores nothing. Usage:
# customer_kept_check.sh APP [MODES] (MODES: "sigterm window refused")
set -euo pipefail
app=$1
modes=${2:-sigterm window refused}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/backend_support.sh"
source "$here/kept_support.sh"
pid=""
trap '{ [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; } || true; { [ -n "$backend" ] && kill "$backend" 2>/dev/null; } || true; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
start_backend

# The customer fields come with the sync.
synced_lines > "$work/sync.txt"
run_app "$work/template" "$work/sync.txt" || { echo "the login and sync failed"; exit 1; }

login() {
  relogin_lines
  cat <<'LINES'
tap "Customers"
waitstill 30
waitfor "Customers" 30
tap "Customers"
waitfor "Globex" 60
LINES
}

for mode in $modes; do
  home=$work/$mode
  rm -rf "$home" && cp -a "$work/template" "$home"
  log=$work/$mode.log status=0
  # Name and phone rows of the new customer's form; the last value typed is not confirmed.
  case $mode in
    sigterm) name="Night Owl Traders" phone="555-0142" order="name phone" ;;
    window) name="Late Shift Supply" phone="555-0143" order="phone name" ;;
    refused) name="" phone="555-0144" order="phone" ;;
  esac
  { login; echo "tap 320 22"; echo "waitstill 30"
    for field in $order; do
      if [ "$field" = name ]; then echo "tap 800 196"; echo "type \"$name\""; else echo "tap 800 307"; echo "type \"$phone\""; fi
      echo "waitstill 30"
    done
    echo "screenshot $work/typed.png"
    echo 'waitfor "never shown" 120'
  } > "$work/type.txt"

  end_when_typed "$mode" "$work/type.txt" "$home" "$log" "the customer"
  ended_cleanly "$mode" "$log"

  # As stored: the one new customer, local and unsent, with its phone; or nothing at all.
  /usr/bin/python3 - "$home/Documents/acmeco/brivanta_lite.sqlite" "$mode" "$name" "$phone" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
mode, name, phone = sys.argv[2:5]
local = db.execute("SELECT customer_id, customer_name FROM brivanta_customer WHERE customer_id < 0").fetchall()
unsent = db.execute("SELECT customer_id, change_count FROM brivanta_customer_unsent").fetchall()
if not name:
    if local or unsent:
        sys.exit("%s: a form Done refuses was stored: %r %r" % (mode, local, unsent))
    sys.exit(0)
if len(local) != 1 or local[0][1] != name:
    sys.exit("%s: expected the one customer %r, stored %r" % (mode, name, local))
cid = local[0][0]
phones = db.execute("SELECT a.attribute_value FROM brivanta_customer_attribute a JOIN brivanta_fields_customer_attribute f"
                    " ON a.attribute_fields_id = f.field_id WHERE a.customer_id = ? AND f.field_name = 'Phone'",
                    (cid,)).fetchall()
if phones != [(phone,)]:
    sys.exit("%s: the phone was stored as %r" % (mode, phones))
if [u for u in unsent if u[0] == cid and u[1] > 0] == []:
    sys.exit("%s: the customer is not marked unsent: %r" % (mode, unsent))
PY

  if [ -z "$name" ]; then
    echo "ok: a form Done refuses stored nothing when the program ended"
    continue
  fi
  # The next start lists it; its Submit sends it up.
  { login; cat <<LINES
waitfor "$name" 30
tap "$name"
waitfor "$phone" 30
tap "Submit"
waitstill 30
waitfor "Submit" 30
tap "Submit"
waitgone "$phone" 60
LINES
  } > "$work/check.txt"
  BRIVANTA_HOME=$home "$app" --headless --script "$work/check.txt" > "$work/$mode-check.log" 2>&1 \
    || { tail -n 20 "$work/$mode-check.log"; echo "$mode: the next start does not list and send the customer"; exit 1; }
  /usr/bin/python3 - "$work/backend.log" "$home/Documents/acmeco/brivanta_lite.sqlite" "$mode" "$name" "$phone" <<'PY'
import json, sqlite3, sys, time
from backend_log import records
log, path, mode, name, phone = sys.argv[1:6]
# The back end writes its log a fifth of a second behind its answers.
for _ in range(100):
    sent = [r for r in records(log) if r.get("command") == "520" and name in json.dumps(r)]
    if sent:
        break
    time.sleep(0.1)
if not sent:
    sys.exit("%s: %r never went up" % (mode, name))
if phone not in json.dumps(sent[0]):
    sys.exit("%s: %r went up without its phone" % (mode, name))
db = sqlite3.connect(path)
rows = db.execute("SELECT customer_id FROM brivanta_customer WHERE customer_name = ?", (name,)).fetchall()
if len(rows) != 1 or rows[0][0] <= 0:
    sys.exit("%s: after the upload the device holds %r" % (mode, rows))
PY
  echo "ok: the customer being typed was kept when the program ended by $mode, listed once and sent at its Submit"
done
