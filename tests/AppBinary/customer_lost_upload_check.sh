#!/usr/bin/env bash
# A new customer's upload whose answer is lost, beside another device's customer of the same
# name, through the application binary against the local back end. The order editor makes
# "Renco" (its street from the address popup, its phone typed on the customer screen: all
# attributes, no address or contact rows) with an order. After a new login Submit All loses
# the answer, the server having stored the upload ("stored", "older") or not ("nowhere").
# Another device of the company uploads its own Renco (phone 222, 99 Other Rd): after the lost
# upload, or before it ("older"). This device logs in again, syncs and submits all. The server
# must hold two Rencos, the other device's as it sent it, and the order on this device's.
# Usage: customer_lost_upload_check.sh APP [MODES] (MODES: "stored nowhere older")
set -euo pipefail
app=$1
modes=${2:-stored nowhere older}
source "$(dirname "$0")/backend_support.sh"


# Another device (account bob) sends its own new customer, as its order editor makes one.
other_device_uploads() {
  /usr/bin/python3 - "$cport" <<'PY'
import json, sys, urllib.request
values = [(11, "222"), (12, ""), (5, 1), (14, "99 Other Rd"), (15, ""), (16, ""), (17, "")]
document = {
    "brivanta_customer": [{"customer_id": -1, "customer_info_id": "", "customer_name": "Renco",
                           "customer_publish": 1, "customer_ordering": 0, "discount": 0}],
    "brivanta_customer_address": [],
    "brivanta_customer_attribute": [{"attribute_id": -1 - i, "customer_id": -1, "attribute_fields_id": f,
                                     "attribute_value": v} for i, (f, v) in enumerate(values)],
    "brivanta_customer_contact": []}
body = json.dumps({"root": {"parameters": {"methodName": "syncData", "accountId": "bob", "clientId": "AcmeCo",
                                           "syncData": json.dumps(document)}}}).encode()
request = urllib.request.Request("http://127.0.0.1:%s/BrivantaSaas/SyncClient;" % sys.argv[1], data=body,
                                 headers={"Content-Type": "application/json"})
answer = json.load(urllib.request.urlopen(request))
if answer["results"][0]["status"] != "200":
    sys.exit("the other device's upload was refused: %r" % answer)
PY
}

for mode in $modes; do
  start_backend
  home=$work/home-$mode
  new_customer_lines Renco "7 Chain Ave" 111 > "$work/make.txt"
  run_app "$home" "$work/make.txt"
  [ "$mode" = older ] && other_device_uploads
  if [ "$mode" = nowhere ]; then
    control '{"faults": [{"target": "520", "kind": "drop", "times": 1}]}'
  else
    control '{"faults": [{"target": "520", "kind": "truncate", "fraction": 0.5, "times": 1}]}'
  fi

  { relogin_lines; submit_all_lines; echo 'waitfor "Network error" 60'; } > "$work/lost.txt"
  "$app" --headless --script "$work/lost.txt" > "$work/app.log" 2>&1 || { tail -n 20 "$work/app.log"; exit 1; }
  [ "$mode" = older ] || other_device_uploads

  { relogin_lines; cat <<'SCRIPT'; submit_all_lines; echo 'waitfor "The order was submitted." 60'; } > "$work/again.txt"
tap "Sync"
tap "Get Updates"
waitgone "0%" 60
waitgone "remaining" 60
SCRIPT
  "$app" --headless --script "$work/again.txt" > "$work/app.log" 2>&1 || { tail -n 20 "$work/app.log"; exit 1; }

  curl -sS "http://127.0.0.1:$cport/__state" > "$work/state.json"
  /usr/bin/python3 - "$work/state.json" "$mode" <<'PY'
import json, sys
state = json.load(open(sys.argv[1]))
mode = sys.argv[2]
def value(customer, field):
    return next((a["attributeValue"] for a in customer["attributes"] if a["attributeFieldsId"] == field), None)
rencos = {c["customerId"]: (value(c, 11), value(c, 14), len(c["addresses"]), len(c["contacts"]))
          for c in state["serverCustomers"] if c["customerName"] == "Renco"}
others = [i for i, v in rencos.items() if v == ("222", "99 Other Rd", 0, 0)]
mine = [i for i, v in rencos.items() if v == ("111", "7 Chain Ave", 0, 0)]
if len(rencos) != 2 or len(others) != 1 or len(mine) != 1:
    sys.exit("%s: the server should hold the other device's Renco and this one's, each as sent: %r" % (mode, rencos))
orders = [o["customerId"] for o in state["orders"] if o["source"] == "upload"]
if orders != mine:
    sys.exit("%s: the order should be on this device's Renco %r, it is on %r" % (mode, mine, orders))
print("ok (%s): two Rencos, each with its own phone and street, the order on this device's" % mode)
PY
  kill "$backend" 2>/dev/null || true
  wait "$backend" 2>/dev/null || true
  backend=""
done
