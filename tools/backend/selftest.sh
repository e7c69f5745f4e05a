#!/usr/bin/env bash
# Checks the loopback back end from the outside, with curl and python3 only: the commands'
# answers, the files with ranges, the uploads' de-duplication, every fault mode, bad input and
# the generator's determinism.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
PY=${BACKEND_PYTHON:-/usr/bin/python3}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect() { # description, actual, wanted
  if [ "$2" != "$3" ]; then fail "$1: got [$2], wanted [$3]"; else echo "ok: $1"; fi
}
# Prints a Python expression over the JSON document read from stdin (bound to d).
j() { "$PY" -c "import json,sys
d=json.load(sys.stdin)
print(($1))"; }

# Starts a back end; sets CP and FP (its ports).
start() {
  local out=$work/out.$RANDOM
  "$PY" "$here/server.py" "$@" > "$out" 2>"$out.err" &
  pids+=($!)
  for _ in $(seq 1200); do  # a generous bound: a loaded machine starts Python slowly
    [ -s "$out" ] && break
    sleep 0.05
  done
  read -r _ _ _ _ _ CP _ FP _ < "$out" || { cat "$out.err" >&2; exit 1; }
}
post() { curl -sS -X POST --data-binary "$2" "http://127.0.0.1:$CP/BrivantaSaas/$1"; }
control() { curl -sS -X POST --data-binary "$1" "http://127.0.0.1:$CP/__control" >/dev/null; }
params() { # methodName, then key=value pairs: the request envelope
  "$PY" -c "import json,sys
p={'methodName':sys.argv[1]}
p.update(a.split('=',1) for a in sys.argv[2:])
print(json.dumps({'root':{'parameters':p}}))" "$@"
}
files="http://127.0.0.1:\$FP/brivanta_saas/images"
file_url() { echo "http://127.0.0.1:$FP/brivanta_saas/images/$1"; }
last_log() { # the last log record of a command
  curl -sS "http://127.0.0.1:$CP/__log" | "$PY" -c "import json,sys
rows=[json.loads(l) for l in sys.stdin if l.strip()]
print(json.dumps([r for r in rows if r['command']==sys.argv[1]][-1]))" "$1"
}

start
ALICE=(accountId=alice deviceId=dev-1 clientId=AcmeCo)
DIGEST=ca6c5d8960b5f761e1676d26b282889c

# --- Login and account -------------------------------------------------------------------------
login() { post 'Vendor?' "$(params login version=1.0 accountId="$1" deviceId=dev-1 password="$2" clientId="$3" firstLogin=YES)"; }
expect "258 alice" "$(login alice $DIGEST AcmeCo | j 'd["results"][0]["status"], d["content"]["vendor"]["clientId"], d["content"]["vendor"]["vendor_id"]')" "('200', 'AcmeCo', '17')"
expect "258 client id in another case" "$(login alice $DIGEST acmeco | j 'd["results"][0]["status"], d["content"]["vendor"]["clientId"]')" "('200', 'AcmeCo')"
expect "258 wrong digest" "$(login alice 0123456789abcdef0123456789abcdef AcmeCo | j 'd["results"][0]["status"]')" "206"
expect "258 unknown user" "$(login mallory $DIGEST AcmeCo | j 'd["results"][0]["status"]')" "202"
expect "258 bob, a second account of the company" "$(login bob "$(printf hunter2 | md5sum | cut -d' ' -f1)" AcmeCo | j 'd["results"][0]["status"], d["content"]["vendor"]["clientId"], d["content"]["vendor"]["vendor_id"]')" "('200', 'AcmeCo', '18')"
expect "258 unknown client" "$(login alice $DIGEST Initech | j 'd["results"][0]["status"]')" "210"
expect "log shows the parsed parameters" "$(last_log 258 | j 'd["parameters"]["accountId"], d["parameters"]["clientId"], d["answer"]["status"]')" "('alice', 'Initech', '210')"
expect "260 configuration" "$(post 'Component?' "$(params loadConfigurationData clientId=AcmeCo)" | j 'd["content"]["configuration"]["order"], d["content"]["appConfiguration"]["dateformat"], d["content"]["settings"]["order_method"]')" "('1', 'MM/dd/yy', '2')"
control '{"perRun": {"deviceStatus": "11411"}}'
expect "262 per-run device status" "$(post 'Vendor?' "$(params checkDeviceStatus "${ALICE[@]}")" | j 'd["results"][0]["status"]')" "11411"

control '{"perRun": {"syncAll": 1, "dataUpdated": 1, "skinVersion": 2}, "passwords": {"alice": "n3w"}}'
expect "per-run login flags" "$(login alice "$(printf n3w | md5sum | cut -d' ' -f1)" AcmeCo | j 'd["content"]["syncAll"], d["content"]["dataUpdated"], d["content"]["skinUpdated"]')" "(1, 1, 0)"
expect "the old password is refused" "$(login alice $DIGEST AcmeCo | j 'd["results"][0]["status"]')" "206"
curl -sS -X POST -o "$work/skin2.zip" "$(file_url AcmeCo/SkinImages.zip)"
expect "skin archive version 2" "$("$PY" -c 'import sys,zipfile; print(sorted(zipfile.ZipFile(sys.argv[1]).namelist()))' "$work/skin2.zip")" "['SkinImages/extra.png', 'SkinImages/homelogo.png']"
control '{"reset": "S-evil"}'
expect "S-evil: an image row climbing out" "$(post 'SyncServer;' "$(params syncData "${ALICE[@]}" syncType=product isFull=true)" | j '[i["fullAddress"] for p in d["content"][0] for i in p["images"] if ".." in i["fullAddress"]]')" "['../../evil.jpg']"
curl -sS -X POST -o "$work/evil.zip" "$(file_url AcmeCo/SkinImages.zip)"
expect "S-evil: a skin entry climbing out" "$("$PY" -c 'import sys,zipfile; print([n for n in zipfile.ZipFile(sys.argv[1]).namelist() if ".." in n])' "$work/evil.zip")" "['../evil.png']"
control '{"reset": "S"}'

# --- Sync tables and change sets ----------------------------------------------------------------
sync() { post 'SyncServer;' "$(params syncData "${ALICE[@]}" syncType="$1" isFull="$2")"; }
expect "513 full: products, categories, fields, related files, tags, product tags" \
  "$(sync product true | j '[len(x) for x in d["content"]]')" "[3, 3, 1, 1, 1, 1]"
control '{"changeSet": "S2"}'
expect "513 after S2: changed products and complete tag lists" \
  "$(sync product false | j '[p["productID"] for p in d["content"][0]], len(d["content"][1]), len(d["content"][4]), len(d["content"][5])')" "([102, 104], 0, 1, 1)"
expect "513 after S2: new price and image" \
  "$(sync product false | j 'd["content"][0][0]["price"], d["content"][0][0]["images"][0]["fullAddress"]')" "(280.0, 'tb1_v2.jpg')"
expect "515 after S2: replaced file ids" "$(sync file false | j 'd["content"][2]["keyIDS"], [f["fileName"] for f in d["content"][0]]')" "('501', ['brochure_v2.pdf'])"
expect "515 unknown syncType" "$(sync nothing true | j 'd["results"][0]["status"]')" "115"
expect "S2 files are served" "$(curl -s -o /dev/null -w '%{http_code}' -X POST "$(file_url AcmeCo/product/p104.jpg)")" "200"

# --- Files ---------------------------------------------------------------------------------------
curl -sS -X POST -o "$work/ch1.jpg" "$(file_url AcmeCo/product/ch1.jpg)"
expect "ch1.jpg opens" "$("$PY" -c 'import sys; from PIL import Image; i=Image.open(sys.argv[1]); i.load(); print(i.format)' "$work/ch1.jpg")" "JPEG"
size=$(stat -c %s "$work/ch1.jpg")
headers=$(curl -sS -X POST -D - -o "$work/tail" -H "Range: bytes=100-" "$(file_url AcmeCo/product/ch1.jpg)" | tr -d '\r')
expect "range answer" "$(echo "$headers" | head -1 | cut -d' ' -f2)" "206"
expect "Content-Range" "$(echo "$headers" | grep -i '^Content-Range:' | cut -d' ' -f2-)" "bytes 100-$((size - 1))/$size"
tail -c +101 "$work/ch1.jpg" | cmp -s - "$work/tail" && echo "ok: range bytes" || fail "range bytes differ from tail -c +101"
# Validators: a strong ETag of the content and a Last-Modified; If-Range with either continues,
# with anything else (another version's) answers the whole file.
etag=$(echo "$headers" | grep -i '^ETag:' | cut -d' ' -f2-)
modified=$(echo "$headers" | grep -i '^Last-Modified:' | cut -d' ' -f2-)
expect "ETag is a strong tag" "$(echo "$etag" | grep -c '^"[0-9a-f]\{32\}"$')" "1"
expect "Last-Modified is an HTTP date" "$(echo "$modified" | grep -c ' GMT$')" "1"
whole_headers=$(curl -sS -X POST -D - -o /dev/null "$(file_url AcmeCo/product/ch1.jpg)" | tr -d '\r')
expect "a whole answer shows the same validators" "$(echo "$whole_headers" | grep -i '^ETag:' | cut -d' ' -f2-) $(echo "$whole_headers" | grep -i '^Last-Modified:' | cut -d' ' -f2-)" "$etag $modified"
ranged() { curl -s -o /dev/null -w '%{http_code} %{size_download}' -X POST -H 'Range: bytes=100-' -H "If-Range: $1" "$(file_url AcmeCo/product/ch1.jpg)"; }
expect "If-Range with the ETag continues" "$(ranged "$etag")" "206 $((size - 100))"
expect "If-Range with the date continues" "$(ranged "$modified")" "206 $((size - 100))"
expect "If-Range with another tag answers whole" "$(ranged '"0123"')" "200 $size"
expect "If-Range with a weak tag answers whole" "$(ranged "W/$etag")" "200 $size"
expect "If-Range with another date answers whole" "$(ranged 'Thu, 01 Jan 2015 00:00:00 GMT')" "200 $size"
control '{"faults": [{"target": "ch1.jpg", "kind": "version", "times": 2}]}'
v2_headers=$(curl -sS -X POST -D - -o "$work/ch1_v2.jpg" -H 'Range: bytes=100-' -H "If-Range: $etag" "$(file_url AcmeCo/product/ch1.jpg)" | tr -d '\r')
expect "another version answers whole to the old tag" "$(echo "$v2_headers" | head -1 | cut -d' ' -f2)" "200"
expect "another version shows another tag" "$([ "$(echo "$v2_headers" | grep -i '^ETag:' | cut -d' ' -f2-)" != "$etag" ] && echo differs)" "differs"
expect "another version is a picture too" "$("$PY" -c 'import sys; from PIL import Image; i=Image.open(sys.argv[1]); i.load(); print(i.format)' "$work/ch1_v2.jpg")" "JPEG"
cmp -s "$work/ch1.jpg" "$work/ch1_v2.jpg" && fail "version 2 is the same file" || echo "ok: version 2 differs"
expect "another version is the same each time" "$(curl -s -X POST "$(file_url AcmeCo/product/ch1.jpg)" | cmp -s - "$work/ch1_v2.jpg" && echo same)" "same"
control '{"faults": [{"target": "ch1.jpg", "kind": "noValidators", "times": 1}]}'
expect "noValidators: neither header, and If-Range never holds" "$(curl -s -D - -o /dev/null -X POST -H 'Range: bytes=100-' -H "If-Range: $etag" "$(file_url AcmeCo/product/ch1.jpg)" | tr -d '\r' | grep -ci '^ETag:\|^Last-Modified:\|^HTTP/1.1 200')" "1"
control '{"faults": [{"target": "ch1.jpg", "kind": "version", "validators": false, "ifRange": "ignored", "times": 1}]}'
expect "ifRange ignored: another version's range, without validators" "$(curl -s -D - -o /dev/null -X POST -H 'Range: bytes=100-' -H "If-Range: $etag" "$(file_url AcmeCo/product/ch1.jpg)" | tr -d '\r' | grep -ci '^ETag:\|^Last-Modified:\|^HTTP/1.1 206')" "1"
control '{"faults": [{"target": "ch1.jpg", "kind": "truncate", "bytes": 100, "validators": false, "times": 1}]}'
expect "a fault's validators false leaves them out" "$(curl -s -D - -o /dev/null -X POST "$(file_url AcmeCo/product/ch1.jpg)" | tr -d '\r' | grep -ci '^ETag:\|^Last-Modified:')" "0"
expect "video served" "$(curl -s -o /dev/null -w '%{http_code}' -X POST "$(file_url AcmeCo/library/vedio/demo.webm)")" "200"
curl -sS -X POST -o "$work/skin.zip" "$(file_url AcmeCo/SkinImages.zip)"
expect "skin archive" "$("$PY" -c 'import sys,zipfile; print(zipfile.ZipFile(sys.argv[1]).namelist())' "$work/skin.zip")" "['SkinImages/homelogo.png']"
expect "client id in the wrong case" "$(curl -s -o /dev/null -w '%{http_code}' -X POST "$(file_url acmeco/product/ch1.jpg)")" "404"
expect "missing name" "$(curl -s -o /dev/null -w '%{http_code}' -X POST "$(file_url AcmeCo/product/nothing.jpg)")" "404"
expect "PDF is a PDF" "$(curl -s -X POST "$(file_url AcmeCo/library/pdf/brochure.pdf)" | head -c 5)" "%PDF-"

# --- Uploads and history ------------------------------------------------------------------------
control '{"reset": true}'
now=$(date +'%m/%d/%Y %H:%M:%S')
order_doc=$("$PY" -c "import json,sys
line={'order_item_id':-1,'order_id':-5,'customer_info_id':'','vendor_id':0,'product_id':101,'order_item_sku':'CH-1',
 'order_item_name':'Chair One','product_quantity':2,'product_item_price':120.5,'product_final_price':120.5,
 'order_item_currency':'\$','order_item_subtotal':241.0,'order_status':1,'cdate':sys.argv[1],'mdate':sys.argv[1],
 'product_attribute':'Colour:Red','discount_rat':100.0}
order={'order_id':-5,'customer_id':9001,'customer_name':'Globex','customer_info_id':'C-9001','vendor_id':17,
 'order_number':'DEV-0001','order_total':241.0,'order_subtotal':241.0,'order_tax':0,'order_tax_details':'',
 'order_shipping':0,'order_shipping_tax':0,'coupon_discount':0,'coupon_code':'','order_discount':241.0,
 'order_currency':'USD','order_status':1,'cdate':sys.argv[1],'mdate':sys.argv[1],'ship_method':'','customer_note':'',
 'ip_address':'dev-1','uploaded':False,'discount_rats':100.0,'signature':'','address':'','city':'','state':'',
 'zip_code':'','phone':'','bankAccount':'','order_item':{'order_items':[line]}}
print(json.dumps({'order':[order]}))" "$now")
upload() { post 'SyncClient;' "$(params syncData accountId="${2:-alice}" clientId=AcmeCo syncData="$1")"; }
# The document changed by a Python statement over d (the document) and o (its first order).
edited() { printf '%s' "$order_doc" | "$PY" -c "import json,sys
d=json.load(sys.stdin); o=d['order'][0]; l=o['order_item']['order_items'][0]
$1
print(json.dumps(d))"; }
# An upload that is not the protocol's document: HTTP 400 naming the key, nothing stored.
strict() { # description, python statement, the key named
  local answer
  answer=$(curl -sS -o "$work/strict" -w '%{http_code}' -X POST --data-binary "$(params syncData accountId=alice clientId=AcmeCo syncData="$(edited "$2")")" "http://127.0.0.1:$CP/BrivantaSaas/SyncClient;")
  expect "518 strict: $1" "$answer $(j 'd["key"]' < "$work/strict")" "400 $3"
}
strict "an unknown order key" "o['isDefault']=1" isDefault
strict "a missing order key" "del o['order_tax']" order_tax
strict "a text where a number belongs" "o['order_total']='241.0'" order_total
strict "a number where a whole number belongs" "o['order_status']=1.5" order_status
strict "a number where a boolean belongs" "o['uploaded']=0" uploaded
strict "a boolean where a number belongs" "o['discount_rats']=True" discount_rats
strict "a number where a text belongs" "o['customer_info_id']=9001" customer_info_id
strict "order_item not an object" "o['order_item']=[l]" order_item
strict "order_item with another member" "o['order_item']['more']=[]" more
strict "order_items not an array" "o['order_item']['order_items']=l" order_items
strict "an unknown line key" "l['discountRate']=100.0" discountRate
strict "a missing line key" "del l['product_attribute']" product_attribute
strict "a text line quantity" "l['product_quantity']='2'" product_quantity
strict "a line that is not an object" "o['order_item']['order_items']=['x']" "line 0 of order 0"
strict "orders not an array" "d['order']=o" order
expect "nothing stored by a refused upload" "$(curl -sS "http://127.0.0.1:$CP/__state" | j 'len([o for o in d["orders"] if o["source"] == "upload"])')" "0"
first=$(upload "$order_doc" | j 'd["results"][0]["status"], d["content"]["orders"]')
second=$(upload "$order_doc" | j 'd["results"][0]["status"], d["content"]["orders"]')
expect "518 answers a server id" "$first" "('200', [{'id': 'DEV-0001', 'generateId': 5013}])"
expect "518 repeat answers the same id" "$second" "$first"
expect "state: one order received twice" "$(curl -sS "http://127.0.0.1:$CP/__state" | j '[(o["order_number"], o["received"]) for o in d["orders"] if o["source"] == "upload"]')" "[('DEV-0001', 2)]"
expect "log notes the unchanged repeat" "$(last_log 518 | j 'any("unchanged" in n for n in d["notes"])')" "True"
changed=$(printf '%s' "$order_doc" | "$PY" -c "import json,sys; d=json.load(sys.stdin); d['order'][0]['order_id']=5013; d['order'][0]['order_item']['order_items'][0]['product_quantity']=40; print(json.dumps(d))")
expect "518 sent again with a change keeps its id" "$(upload "$changed" | j 'd["content"]["orders"]')" "[{'id': 'DEV-0001', 'generateId': 5013}]"
expect "state: the latest upload is stored" "$(curl -sS "http://127.0.0.1:$CP/__state" | j '[(o["order_number"], o["received"], o["quantities"], o["replaced"]) for o in d["orders"] if o["source"] == "upload"]')" "[('DEV-0001', 3, [40], 1)]"
control '{"orderStatus": {"DEV-0001": 3}}'
expect "the office moves the order on" "$(curl -sS "http://127.0.0.1:$CP/__state" | j '[o["status"] for o in d["orders"] if o["order_number"] == "DEV-0001"]')" "[3]"
expect "orderStatus of an unknown number" "$(curl -s -o /dev/null -w '%{http_code}' -X POST --data-binary '{"orderStatus": {"NOPE": 3}}' "http://127.0.0.1:$CP/__control")" "400"
customer_doc='{"brivanta_customer":[{"customer_id":-3,"customer_info_id":"","customer_name":"Initech","customer_publish":1,"customer_ordering":0,"discount":0}],"brivanta_customer_address":[{"id":-7,"customer_id":-3,"address":"2 Side St","city":"Austin","state":"TX","zip_code":"73301"}],"brivanta_customer_attribute":[{"attribute_id":-9,"customer_id":-3,"attribute_fields_id":5,"attribute_value":1}],"brivanta_customer_contact":[{"customer_id":-3,"contact_id":-2,"first_name":"Bill","last_name":"Lumbergh","job_title":"VP","work_phone":"","mobile_phone":"","email":"","im":"","note":""}]}'
ids='[(r["preId"], r.get("customerId"), r.get("id", r.get("attributeId", r.get("contactId")))) for t in ("brivanta_customer","brivanta_customer_address","brivanta_customer_attribute","brivanta_customer_contact") for r in d["content"][t]]'
# Each device numbers its new rows from -1: a row is known by the device the upload shows, by
# its session's cookie; an upload that shows none is never taken for another's re-send.
session() { # device, cookie jar: alice logs in on that device
  curl -sS -c "$2" -o /dev/null -X POST --data-binary "$(params login version=1.0 accountId=alice deviceId="$1" password=$DIGEST clientId=AcmeCo firstLogin=NO)" "http://127.0.0.1:$CP/BrivantaSaas/Vendor?"
}
upload_in() { # cookie jar, document
  curl -sS -b "$1" -X POST --data-binary "$(params syncData accountId=alice clientId=AcmeCo syncData="$2")" "http://127.0.0.1:$CP/BrivantaSaas/SyncClient;"
}
session dev-1 "$work/dev-1"
first=$(upload_in "$work/dev-1" "$customer_doc" | j "$ids")
expect "520 maps the four local ids" "$first" "[(-3, 9002, None), (-7, 9002, 2), (-9, 9002, 3), (-2, 9002, 2)]"
expect "520 repeat answers the same ids" "$(upload_in "$work/dev-1" "$customer_doc" | j "$ids")" "$first"
expect "uploaded customer in the next 516 change set" "$(sync customer false | j '[c["customerName"] for c in d["content"][0]], len(d["content"][2]), len(d["content"][3])')" "(['Initech'], 1, 1)"
session dev-2 "$work/dev-2"
other=${customer_doc/Initech/Initrode}
expect "another device's customer at the same local ids is stored anew, with rows of its own" "$(upload_in "$work/dev-2" "$other" | j "$ids")" "[(-3, 9003, None), (-7, 9003, 3), (-9, 9003, 4), (-2, 9003, 3)]"
server_customers='[(c["customerId"], c["customerInfoId"], c["customerName"], [a["attributeId"] for a in c["attributes"]], [a["id"] for a in c["addresses"]], [k["contactId"] for k in c["contacts"]]) for c in d["serverCustomers"] if c["customerId"] > 9001]'
expect "the first and the other device's each hold their rows" "$(curl -sS "http://127.0.0.1:$CP/__state" | j "$server_customers")" "[(9002, '', 'Initech', [3], [2], [2]), (9003, '', 'Initrode', [4], [3], [3])]"
# A re-send merges its customer row three ways too: the office's number stays, the device's name wins.
control '{"customerEdits": [{"customerId": 9002, "fields": {"customerInfoId": "C-77", "customerName": "Initech Holdings"}}]}'
expect "its own device's renamed re-send keeps its ids" "$(upload_in "$work/dev-1" "${customer_doc/Initech/Initech Inc}" | j "$ids")" "$first"
expect "one customer, with the office's number and the device's name" "$(curl -sS "http://127.0.0.1:$CP/__state" | j "$server_customers")" "[(9002, 'C-77', 'Initech Inc', [3], [2], [2]), (9003, '', 'Initrode', [4], [3], [3])]"
expect "the re-send is logged as its changes" "$(last_log 520 | j '[n for n in d["notes"] if "sent again" in n][:1]')" "['customer 9002 sent again: 1 field(s) of its row changed, its changes applied']"
expect "the other device's re-send is its own customer's" "$(upload_in "$work/dev-2" "$other" | j "$ids")" "[(-3, 9003, None), (-7, 9003, 3), (-9, 9003, 4), (-2, 9003, 3)]"
# Strict: exactly the keys and types of the upload document, else HTTP 400 naming the key.
strict_customer() { # description, python edit of the document d, wanted key named
  local doc code
  doc=$(printf '%s' "$customer_doc" | "$PY" -c "import json,sys
d=json.load(sys.stdin)
$2
print(json.dumps(d))")
  code=$(curl -sS -o "$work/strict" -w '%{http_code}' -X POST --data-binary "$(params syncData accountId=alice clientId=AcmeCo syncData="$doc")" "http://127.0.0.1:$CP/BrivantaSaas/SyncClient;")
  expect "520 refuses $1" "$code $(j "d['key']" < "$work/strict")" "400 $3"
}
strict_customer "an unknown address key" 'd["brivanta_customer_address"][0]["isDefault"]=1' isDefault
strict_customer "a missing discount" 'del d["brivanta_customer"][0]["discount"]' "discount"
strict_customer "an unknown table" 'd["brivanta_customer_extra"]=[]' "brivanta_customer_extra"
strict_customer "a missing table" 'del d["brivanta_customer_contact"]' "brivanta_customer_contact"
strict_customer "the yes/no field as text" 'd["brivanta_customer_attribute"][0]["attribute_value"]="YES"' "attribute_value"
strict_customer "another field as a number" 'd["brivanta_customer_attribute"][0]["attribute_fields_id"]=4' "attribute_value"
strict_customer "a name that is not a text" 'd["brivanta_customer"][0]["customer_name"]=7' "customer_name"
strict_customer "an id that is not a whole number" 'd["brivanta_customer_contact"][0]["contact_id"]="-2"' "contact_id"
strict_customer "a missing contact field" 'del d["brivanta_customer_contact"][0]["im"]' "im"
strict_customer "an attribute of field 0" 'd["brivanta_customer_attribute"][0]["attribute_fields_id"]=0' "attribute_fields_id"
strict_customer "an attribute of a field the client lacks" 'd["brivanta_customer_attribute"][0].update(attribute_fields_id=99, attribute_value="x")' "attribute_fields_id"
expect "nothing refused was stored" "$(curl -sS "http://127.0.0.1:$CP/__state" | j '[c["customerId"] for c in d["serverCustomers"]]')" "[9001, 9002, 9003]"
# A server customer sent whole is its new version: every field kept, its own rows keep their ids.
globex='{"brivanta_customer":[{"customer_id":9001,"customer_info_id":"C-9001","customer_name":"Globex Works","customer_publish":1,"customer_ordering":3,"discount":7.5}],"brivanta_customer_address":[{"id":1,"customer_id":9001,"address":"1 Main Street","city":"Springfield","state":"IL","zip_code":"62702"},{"id":-4,"customer_id":9001,"address":"5 Dock Lane","city":"Ogdenville","state":"IL","zip_code":"62000"}],"brivanta_customer_attribute":[{"attribute_id":1,"customer_id":9001,"attribute_fields_id":4,"attribute_value":"Silver"},{"attribute_id":2,"customer_id":9001,"attribute_fields_id":5,"attribute_value":0}],"brivanta_customer_contact":[{"customer_id":9001,"contact_id":1,"first_name":"Hank","last_name":"Scorpio","job_title":"Owner","work_phone":"555-0101","mobile_phone":"555-0177","email":"hank@globex.test","im":"","note":"vip"}]}'
expect "520 of a server customer keeps its ids" "$(upload "$globex" | j "$ids")" "[(9001, 9001, None), (1, 9001, 1), (-4, 9001, 4), (1, 9001, 1), (2, 9001, 2), (1, 9001, 1)]"
expect "516 answers every field sent" "$(sync customer true | j '[(c["customerInfoId"], c["customerName"], c["customerOrdering"], c["customerDiscount"], [(a["attributeFieldsId"], a["attributeValue"]) for a in c["attributes"]]) for c in d["content"][0] if c["customerId"] == 9001], [(a["id"], a["zip_code"]) for a in d["content"][2] if a["customer_id"] == 9001], [(c["contactId"], c["mobilePhone"], c["note"]) for c in d["content"][3] if c["customerId"] == 9001]')" "([('C-9001', 'Globex Works', 3, 7.5, [(4, 'Silver'), (5, 'NO')])], [(1, '62702'), (4, '62000')], [(1, '555-0177', 'vip')])"
control '{"changeSet": "S-globex"}'
expect "a change set changes the customer between two syncs" "$(sync customer false | j '[(c["customerName"], c["customerDiscount"], [a["attributeValue"] for a in c["attributes"]]) for c in d["content"][0] if c["customerId"] == 9001], sorted(a["id"] for a in d["content"][2] if a["customer_id"] == 9001), sorted(c["jobTitle"] for c in d["content"][3] if c["customerId"] == 9001)')" "([('Globex Corporation', 5.0, ['Platinum', 'YES'])], [1, 4, 71], ['Buyer', 'Chief'])"
control '{"changeSet": "S-globex-moved"}'
expect "a change set deletes an address" "$(sync customer false | j 'sorted(a["id"] for a in d["content"][2] if a["customer_id"] == 9001)')" "[4, 71]"
control '{"customerEdits": [{"customerId": 9001, "attributes": {"4": "Bronze", "11": "555"}}]}'
expect "the office edits a customer's attributes" "$(sync customer false | j '[[(a["attributeFieldsId"], a["attributeValue"]) for a in c["attributes"]] for c in d["content"][0] if c["customerId"] == 9001]')" "[[(4, 'Bronze'), (5, 'YES'), (11, '555')]]"
control '{"customerEdits": [{"customerId": 9001, "customerName": "Globex Renamed", "attributes": {}}]}'
expect "the office renames a customer" "$(sync customer false | j '[c["customerName"] for c in d["content"][0] if c["customerId"] == 9001]')" "['Globex Renamed']"
expect "a customer edit naming it nothing" "$(curl -s -o /dev/null -w '%{http_code}' -X POST --data-binary '{"customerEdits": [{"customerId": 9001, "customerName": "", "attributes": {}}]}' "http://127.0.0.1:$CP/__control")" "400"
control '{"customerEdits": [{"customerId": 9001, "customerName": "Globex Corporation", "attributes": {}}]}'
expect "a customer edit of an unknown customer" "$(curl -s -o /dev/null -w '%{http_code}' -X POST --data-binary '{"customerEdits": [{"customerId": 1, "attributes": {}}]}' "http://127.0.0.1:$CP/__control")" "400"
for edit in '"addresses": {"2": null}' '"fields": []' '"contacts": {"1": {"title": "x"}}' '"fields": {"customerId": 1}'; do
  expect "a customer edit refused: $edit" "$(curl -s -o /dev/null -w '%{http_code}' -X POST --data-binary "{\"customerEdits\": [{\"customerId\": 9001, $edit}]}" "http://127.0.0.1:$CP/__control")" "400"
done
control '{"customerEdits": [{"customerId": 9001, "fields": {"customerInfoId": "C-1"}, "addresses": {"71": {"zip_code": "62999"}}, "contacts": {"2": null}}]}'
expect "the office edits a customer's row, address and contact" "$(sync customer false | j '[(c["customerInfoId"], sorted((a["id"], a["zip_code"]) for a in d["content"][2] if a["customer_id"] == 9001), sorted(k["contactId"] for k in d["content"][3] if k["customerId"] == 9001)) for c in d["content"][0] if c["customerId"] == 9001]')" "[('C-1', [(4, '62000'), (71, '62999')], [1])]"
# The same customer sent again is the change it carries: its rows are those of the last upload.
resent() { # the customer as local -5 with one Level value of that text; "nocontact" leaves its contact out
  printf '%s' "$customer_doc" | "$PY" -c "import json,sys
d=json.load(sys.stdin)
for t in d:
    for r in d[t]: r['customer_id']=-5
d['brivanta_customer_attribute']=[{'attribute_id':-20,'customer_id':-5,'attribute_fields_id':4,'attribute_value':sys.argv[1]}]
if sys.argv[2:] == ['nocontact']: d['brivanta_customer_contact']=[]
print(json.dumps(d))" "$@"
}
for level in Gold Silver; do upload_in "$work/dev-1" "$(resent $level)" >/dev/null; done
bronze=$(upload_in "$work/dev-1" "$(resent Bronze)" | j "$ids")
expect "an unchanged repeat answers the same ids" "$(upload_in "$work/dev-1" "$(resent Bronze)" | j "$ids")" "$bronze"
expect "a customer sent four times is stored once, as last sent" "$(curl -sS "http://127.0.0.1:$CP/__state" | j '[(c["customerId"], [(a["attributeFieldsId"], a["attributeValue"]) for a in c["attributes"]], len(c["addresses"]), len(c["contacts"])) for c in d["serverCustomers"] if c["customerId"] > 9003]')" "[(9004, [(4, 'Bronze')], 1, 1)]"
the_customer='[(c["customerId"], [(a["attributeFieldsId"], a["attributeValue"]) for a in c["attributes"]], len(c["addresses"]), len(c["contacts"])) for c in d["serverCustomers"] if c["customerId"] > 9003]'
# Sent again after the office changed it: a field the re-send carries as it was stored keeps the
# office's value, a field it changed takes the re-send's; rows it leaves out go, the office's stay.
control '{"customerEdits": [{"customerId": 9004, "attributes": {"4": "Platinum", "11": "555-OFFICE"}}]}'
upload_in "$work/dev-1" "$(resent Bronze)" >/dev/null
expect "a re-send keeps what the office changed since" "$(curl -sS "http://127.0.0.1:$CP/__state" | j "$the_customer")" "[(9004, [(4, 'Platinum'), (11, '555-OFFICE')], 1, 1)]"
expect "and answers the server's values" "$(upload_in "$work/dev-1" "$(resent Bronze)" | j '[(r["attributeFieldsId"], r["attributeValue"]) for r in d["content"]["brivanta_customer_attribute"]]')" "[(4, 'Platinum')]"
upload_in "$work/dev-1" "$(resent Gold nocontact)" >/dev/null
expect "a re-send's own change wins, and a row it leaves out is gone" "$(curl -sS "http://127.0.0.1:$CP/__state" | j "$the_customer")" "[(9004, [(4, 'Gold'), (11, '555-OFFICE')], 1, 0)]"
control '{"perRun": {"storeEveryUpload": true}}'
upload_in "$work/dev-1" "$(resent Silver)" >/dev/null
expect "a server that stores every upload stores a re-send anew" "$(curl -sS "http://127.0.0.1:$CP/__state" | j "$the_customer")" "[(9004, [(4, 'Gold'), (11, '555-OFFICE')], 1, 0), (9005, [(4, 'Silver')], 1, 1)]"
control '{"perRun": {"storeEveryUpload": false}}'
history() { post 'SyncServer;' "$(params getorderhistory accountId=alice clientId=AcmeCo baseTime="$1" numberOfOrder=10)"; }
expect "history from the newest starts with the upload" "$(history '' | j 'd["content"]["orders"][0]["order_number"], d["content"]["orders"][0]["order_id"], d["content"]["items"][0]["discountRate"]')" "('DEV-0001', 5013, 100.0)"
expect "history older than everything" "$(history '2001-01-01 00:00:00' | j 'd["content"]["orders"]')" "[]"
odd=${order_doc//DEV-0001/DEV-0002}
odd=${odd//$now/2026-07-01 10:00}
expect "an order with another cdate layout is stored" "$(upload "$odd" | j 'd["results"][0]["status"], d["content"]["orders"][0]["generateId"]')" "('200', 5014)"
expect "and noted in the log" "$(last_log 518 | j 'any("cdate" in n for n in d["notes"])')" "True"
expect "history places it by its arrival" "$(history '' | j 'sorted(o["order_number"] for o in d["content"]["orders"][:2])')" "['DEV-0001', 'DEV-0002']"
expect "history shows the office's status" "$(history '' | j '[(o["order_status"], sorted({i["order_status"] for i in d["content"]["items"] if i["order_id"] == o["order_id"]})) for o in d["content"]["orders"] if o["order_number"] == "DEV-0001"]')" "[(3, [3])]"
# An order number is unique within the company: sent by another account it is still one order.
expect "bob sends DEV-0002 again" "$(upload "$odd" bob | j 'd["results"][0]["status"], d["content"]["orders"][0]["generateId"]')" "('200', 5014)"
expect "one DEV-0002, under its latest sender" "$(curl -sS "http://127.0.0.1:$CP/__state" | j '[(o["account"], o["received"]) for o in d["orders"] if o["order_number"] == "DEV-0002"]')" "[('bob', 2)]"
expect "the log names both accounts" "$(last_log 518 | j 'any("stored under alice" in n for n in d["notes"])')" "True"
# What an upload at a local id its device used before is: the customer sent then, or another.
control '{"reset": true}'
session dev-1 "$work/dev-1"
session dev-2 "$work/dev-2"
customer() { # local id, name, phone, street, then the first name of a contact or none: a device's new customer
  "$PY" -c "import json,sys
local, name, phone, street = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
print(json.dumps({'brivanta_customer':[{'customer_id':local,'customer_info_id':'','customer_name':name,'customer_publish':1,'customer_ordering':0,'discount':0}],
 'brivanta_customer_address':[],
 'brivanta_customer_attribute':[{'attribute_id':local-i,'customer_id':local,'attribute_fields_id':f,'attribute_value':v} for i,(f,v) in enumerate([(11,phone),(14,street),(15,'Springfield'),(5,1)])],
 'brivanta_customer_contact':[{'customer_id':local,'contact_id':-1,'first_name':c,'last_name':'','job_title':'','work_phone':'','mobile_phone':'','email':'','im':'','note':''} for c in sys.argv[5:]]}))" "$@"
}
made='[r["customerId"] for r in d["content"]["brivanta_customer"]]'
held='[(c["customerId"], c["customerName"], sorted((a["attributeFieldsId"], a["attributeValue"]) for a in c["attributes"]), [k["firstName"] for k in c["contacts"]]) for c in d["serverCustomers"] if c["customerId"] > 9001]'
expect "a device's new customer at -1" "$(upload_in "$work/dev-1" "$(customer -1 Alpha 111 '1 Alpha Rd' Ann)" | j "$made")" "[9002]"
expect "its next new customer at -1 again, another in all but the town, is its own" "$(upload_in "$work/dev-1" "$(customer -1 Beta 999 '9 Beta Ave' Bob)" | j "$made")" "[9003]"
expect "Alpha keeps every value" "$(curl -sS "http://127.0.0.1:$CP/__state" | j "$held")" "[(9002, 'Alpha', [(5, 'YES'), (11, '111'), (14, '1 Alpha Rd'), (15, 'Springfield')], ['Ann']), (9003, 'Beta', [(5, 'YES'), (11, '999'), (14, '9 Beta Ave'), (15, 'Springfield')], ['Bob'])]"
expect "the same name with every other value changed is another customer too" "$(upload_in "$work/dev-1" "$(customer -1 Beta 555 '5 Gamma Ct' Cy)" | j "$made")" "[9004]"
expect "Beta renamed, all else as sent, is Beta sent again" "$(upload_in "$work/dev-1" "$(customer -1 'Gamma Inc' 555 '5 Gamma Ct' Cy)" | j "$made")" "[9004]"
expect "and a phone changed with the name kept too" "$(upload_in "$work/dev-1" "$(customer -1 'Gamma Inc' 556 '5 Gamma Ct' Cy)" | j "$made")" "[9004]"
control '{"reset": true}'
session dev-1 "$work/dev-1"
session dev-2 "$work/dev-2"
expect "tablet 1's Twin" "$(upload_in "$work/dev-1" "$(customer -1 Twin 111 '1 One St')" | j "$made")" "[9002]"
expect "tablet 2's Twin at the same local id" "$(upload_in "$work/dev-2" "$(customer -1 Twin 222 '2 Two St')" | j "$made")" "[9003]"
# Tablet 1 renames its Twin and sends it again without a cookie, tablet 2's sync coming between.
post 'SyncServer;' "$(params syncData accountId=alice clientId=AcmeCo deviceId=dev-1 syncType=customer isFull=false)" >/dev/null
post 'SyncServer;' "$(params syncData accountId=alice clientId=AcmeCo deviceId=dev-2 syncType=customer isFull=false)" >/dev/null
expect "a re-send showing no device is stored as new" "$(upload "$(customer -1 'Twin Two' 111 '1 One St')" | j "$made")" "[9004]"
expect "and no customer lost a value" "$(curl -sS "http://127.0.0.1:$CP/__state" | j "$held")" "[(9002, 'Twin', [(5, 'YES'), (11, '111'), (14, '1 One St'), (15, 'Springfield')], []), (9003, 'Twin', [(5, 'YES'), (11, '222'), (14, '2 Two St'), (15, 'Springfield')], []), (9004, 'Twin Two', [(5, 'YES'), (11, '111'), (14, '1 One St'), (15, 'Springfield')], [])]"
expect "a re-send naming its device is that device's" "$(post 'SyncClient;' "$(params syncData accountId=alice clientId=AcmeCo deviceId=dev-2 syncData="$(customer -1 'Twin Too' 222 '2 Two St')")" | j "$made")" "[9003]"
control '{"reset": true}'
control '{"reset": true}'
page1=$(history '')
oldest=$(echo "$page1" | j '__import__("datetime").datetime.strptime(d["content"]["orders"][-1]["cdate"], "%m/%d/%Y %H:%M:%S").strftime("%Y-%m-%d %H:%M:%S")')
page2=$(history "$oldest")
oldest2=$(echo "$page2" | j '__import__("datetime").datetime.strptime(d["content"]["orders"][-1]["cdate"], "%m/%d/%Y %H:%M:%S").strftime("%Y-%m-%d %H:%M:%S")')
expect "twelve orders page as 10, 2, 0" "$(echo "$page1" | j 'len(d["content"]["orders"])') $(echo "$page2" | j 'len(d["content"]["orders"])') $(history "$oldest2" | j 'len(d["content"]["orders"])')" "10 2 0"

# --- Fault modes ---------------------------------------------------------------------------------
config=$(params loadConfigurationData clientId=AcmeCo)
control '{"faults": [{"target": "260", "kind": "drop", "times": 1}]}'
post 'Component?' "$config" >/dev/null 2>&1; expect "drop gives an empty reply" "$?" "52"
control '{"faults": [{"target": "260", "kind": "drop", "after": "head", "times": 1}]}'
curl -s -X POST --data-binary "$config" "http://127.0.0.1:$CP/BrivantaSaas/Component?" >/dev/null 2>&1; code=$?
[ "$code" = 52 ] || [ "$code" = 55 ] || [ "$code" = 56 ] && echo "ok: drop after the head" || fail "drop after the head: curl $code"
control '{"faults": [{"target": "ch1.jpg", "kind": "truncate", "fraction": 0.5, "times": 1}]}'
headers=$(curl -s -X POST -D - -o "$work/cut" "$(file_url AcmeCo/product/ch1.jpg)" | tr -d '\r'); code=$?
length=$(echo "$headers" | grep -i '^Content-Length:' | cut -d' ' -f2)
expect "truncation: curl sees a partial file" "$code" "18"
[ "$(stat -c %s "$work/cut")" -lt "$length" ] && echo "ok: truncated body shorter than its Content-Length" || fail "truncated body not shorter"
control '{"faults": [{"target": "260", "kind": "truncate", "bytes": 10, "times": 1}]}'
expect "truncated command after N bytes" "$(post 'Component?' "$config" 2>/dev/null | wc -c)" "10"
plain=$(post 'Component?' "$config")
control '{"faults": [{"target": "260", "kind": "gzip", "times": 1}]}'
curl -sS -X POST -D "$work/gz.h" -o "$work/gz" --data-binary "$config" "http://127.0.0.1:$CP/BrivantaSaas/Component?"
expect "gzip answer inflates to the same JSON" "$("$PY" -c 'import gzip,sys; print(gzip.decompress(open(sys.argv[1],"rb").read()).decode())' "$work/gz")" "$plain"
grep -qi '^Content-Encoding: gzip' "$work/gz.h" && echo "ok: gzip header" || fail "no Content-Encoding: gzip"
control '{"faults": [{"target": "513", "kind": "chunked", "times": 1}]}'
curl -sS -X POST -D "$work/ch.h" -o "$work/ch" --data-binary "$(params syncData "${ALICE[@]}" syncType=product isFull=true)" "http://127.0.0.1:$CP/BrivantaSaas/SyncServer;"
expect "chunked answer parses" "$(j 'len(d["content"][0])' < "$work/ch")" "3"
grep -qi '^Transfer-Encoding: chunked' "$work/ch.h" && echo "ok: chunked header" || fail "not chunked"
control '{"faults": [{"target": "ch1.jpg", "kind": "ignoreRange", "times": 1}]}'
expect "Range ignored" "$(curl -s -o /dev/null -w '%{http_code} %{size_download}' -H 'Range: bytes=100-' "$(file_url AcmeCo/product/ch1.jpg)")" "200 $size"
control '{"faults": [{"target": "ch1.jpg", "kind": "wrongOffset", "offset": 0, "times": 1}]}'
expect "206 at a wrong offset" "$(curl -s -D - -o /dev/null -H 'Range: bytes=100-' "$(file_url AcmeCo/product/ch1.jpg)" | tr -d '\r' | grep -i '^Content-Range' | cut -d' ' -f2-)" "bytes 0-$((size - 1))/$size"
control '{"faults": [{"target": "ch1.jpg", "kind": "notFound", "size": "2k", "times": 1}, {"target": "ch1.jpg", "kind": "error500", "times": 1}]}'
expect "404 with 2 KiB" "$(curl -s -o /dev/null -w '%{http_code} %{size_download}' "$(file_url AcmeCo/product/ch1.jpg)")" "404 2048"
expect "500 with HTML" "$(curl -s -w ' %{http_code}' "$(file_url AcmeCo/product/ch1.jpg)" | grep -o '<html>.* 500$' | tail -c 4)" "500"
control '{"faults": [{"target": "260", "kind": "raw", "preset": "twoResults", "times": 1}]}'
expect "raw: two results" "$(post 'Component?' "$config" | j '[r["status"] for r in d["results"]]')" "['200', '101']"
control '{"faults": [{"target": "ch1.jpg", "kind": "slow", "bytesPerSecond": 20000, "times": 1}]}'
expect "slow body arrives whole" "$(curl -s -o /dev/null -w '%{http_code} %{size_download}' "$(file_url AcmeCo/product/ch1.jpg)")" "200 $size"
control '{"faults": [{"target": "516", "kind": "endless", "bytesPerSecond": 2000, "times": 1}]}'
curl -s -m 2 -X POST -D "$work/endless.h" -o "$work/endless" --data-binary "$(params syncData "${ALICE[@]}" syncType=customer isFull=true)" "http://127.0.0.1:$CP/BrivantaSaas/SyncServer;"; code=$?
expect "endless command answer: still coming when curl gives up" "$code" "28"
grep -qi '^Content-Length' "$work/endless.h" && fail "endless command answer states a length" || echo "ok: endless command answer without a length"
expect "endless command answer: an envelope's opening, then filler" "$(head -c 11 "$work/endless") $(stat -c %s "$work/endless" | "$PY" -c 'import sys; print(2000 < int(sys.stdin.read()) < 8000)')" '{"content": True'
control '{"faults": [{"target": "260", "kind": "delay", "seconds": 0.3, "times": 1}]}'
expect "delay" "$(curl -s -o /dev/null -w '%{time_total}' -X POST --data-binary "$config" "http://127.0.0.1:$CP/BrivantaSaas/Component?" | "$PY" -c 'import sys; print(float(sys.stdin.read()) >= 0.3)')" "True"
# Long enough that the next curl starts inside it even on a loaded machine.
control '{"refuse": {"port": "files", "seconds": 3}}'
curl -s -o /dev/null "$(file_url AcmeCo/product/ch1.jpg)"; expect "refusal window refuses" "$?" "7"
for _ in $(seq 1200); do
  [ "$(curl -s -o /dev/null -w '%{http_code}' "$(file_url AcmeCo/product/ch1.jpg)")" = 200 ] && break
  sleep 0.05
done
expect "then accepts on the same port" "$(curl -s -o /dev/null -w '%{http_code}' "$(file_url AcmeCo/product/ch1.jpg)")" "200"
control '{"faults": [{"target": "515", "kind": "status", "status": "101", "times": 2}]}'
statuses="$(sync product true | j 'd["results"][0]["status"]') $(sync file true | j 'd["results"][0]["status"]') $(sync file true | j 'd["results"][0]["status"]') $(sync file true | j 'd["results"][0]["status"]')"
expect "515 override twice, 513 untouched" "$statuses" "200 101 101 200"

# --- Bad input -----------------------------------------------------------------------------------
control '{"reset": true}'
orders_before=$(curl -sS "http://127.0.0.1:$CP/__state" | j 'len(d["orders"]), len(d["customers"])')
expect "body not JSON" "$(post 'SyncClient;' 'not json' | j 'd["results"][0]["status"]')" "115"
expect "unknown method" "$(post 'Vendor?' "$(params dance accountId=alice clientId=AcmeCo)" | j 'd["results"][0]["status"]')" "115"
expect "unknown head" "$(post 'Vendor' "$(params login)" | j 'd["results"][0]["status"]')" "115"
expect "syncData of neither document" "$(upload '{"orders": []}' | j 'd["results"][0]["status"]')" "115"
expect "an order with an empty number" "$(upload "$(edited "o['order_number']=''")" | j 'd["results"][0]["status"]')" "115"
for name in '' '  '; do
  expect "a customer named [$name]" "$(upload "$(customer -1 "$name" 111 '1 One St')" | j 'd["results"][0]["status"]')" "115"
done
expect "customer child naming an unknown customer" "$(upload '{"brivanta_customer":[],"brivanta_customer_address":[{"id":-1,"customer_id":-99,"address":"","city":"","state":"","zip_code":""}],"brivanta_customer_attribute":[],"brivanta_customer_contact":[]}' | j 'd["results"][0]["status"]')" "115"
expect "path with .." "$(curl -s --path-as-is -o /dev/null -w '%{http_code}' "$(file_url AcmeCo/product/../../AcmeCo/product/ch1.jpg)")" "404"
expect "encoded .." "$(curl -s -o /dev/null -w '%{http_code}' "$(file_url AcmeCo/product/%2e%2e%2fch1.jpg)")" "404"
expect "nothing stored" "$(curl -sS "http://127.0.0.1:$CP/__state" | j 'len(d["orders"]), len(d["customers"])')" "$orders_before"
expect "bad input is logged" "$(curl -sS "http://127.0.0.1:$CP/__log" | "$PY" -c 'import json,sys; print(sum(1 for l in sys.stdin if json.loads(l).get("answer",{}).get("status") == "115") >= 6)')" "True"

# --- Many connections at once ---------------------------------------------------------------------
seq 12 | xargs -P 12 -I{} curl -s -o /dev/null -w '%{http_code}\n' "$(file_url AcmeCo/product/ch1.jpg)" > "$work/many"
expect "twelve parallel fetches" "$(sort -u "$work/many")" "200"

# --- The generator is deterministic ---------------------------------------------------------------
m513=$(params syncData "${ALICE[@]}" syncType=product isFull=true)
control '{"reset": "M"}'
one=$(post 'SyncServer;' "$m513" | tee "$work/m1" | sha256sum)
start --fixture M
two=$(post 'SyncServer;' "$m513" | sha256sum)
expect "fixture M 513 is the same on two runs" "$two" "$one"
"$PY" -c 'import os,sys; n=os.path.getsize(sys.argv[1]); print(n); sys.exit(0 if 8e6 <= n <= 12e6 else 1)' "$work/m1" >/dev/null \
  && echo "ok: fixture M 513 size" || fail "fixture M 513 is $(stat -c %s "$work/m1") bytes"
expect "a generated picture is served" "$(curl -s -o /dev/null -w '%{http_code}' "$(file_url AcmeCo/product/g01000_0_t.jpg)")" "200"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
