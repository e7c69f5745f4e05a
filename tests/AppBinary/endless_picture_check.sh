#!/usr/bin/env bash
# A sync against a back end that sends one product picture without end, at full speed or a
# trickle: the picture fails on its own (too large at the ceiling, or timed out under the
# pace), nothing of a refused body stays in tempDownload, the customers still arrive and the
# sync ends telling that files could not be downloaded.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"

for kind in endless trickle; do
  case $kind in
    endless) control '{"clearFaults": true, "faults": [{"target": "tb1.jpg", "kind": "endless"}]}' ;;
    trickle) control '{"clearFaults": true, "faults": [{"target": "tb1.jpg", "kind": "endless", "bytesPerSecond": 50}]}' ;;
  esac
  { login_lines; cat <<SCRIPT; } > "$work/$kind.txt"
tap "Log in"
waitfor "Home" 60
tap "Sync"
tap "Get Updates"
waitfor "could not be downloaded" 300
wait 1
screenshot $outdir/sync-$kind-picture.png
SCRIPT
  from=0
  [ -f "$work/backend.log" ] && from=$(wc -l < "$work/backend.log")
  run_app "$work/home-$kind" "$work/$kind.txt"
  /usr/bin/python3 - "$work/backend.log" "$from" "$work/home-$kind/Documents/acmeco" "$kind" <<'PY'
import json, os, sqlite3, sys, time
log, cut, client, kind = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
# The back end logs a request once it has answered it: the last may come after the program
# has gone.
def table(r):
    return (r.get("parameters") or {}).get("tableType")
bound = time.monotonic() + 60
while True:
    records = []
    for line in (list(open(log))[cut:] if os.path.exists(log) else []):
        try:
            record = json.loads(line)
        except ValueError:
            continue
        if isinstance(record, dict):
            records.append(record)
    if any(r.get("command") == "517" and table(r) == "customer" for r in records) or time.monotonic() > bound:
        break
    time.sleep(0.1)
asked = [r for r in records if r.get("role") == "files" and "/product/tb1.jpg" in r.get("request", "")]
wanted = 1 if kind == "endless" else 2
if len(asked) != wanted:
    sys.exit("%s: the picture was asked for %d times, not %d" % (kind, len(asked), wanted))
if "516" not in [r.get("command") for r in records]:
    sys.exit("%s: the customers were never asked for" % kind)
if [table(r) for r in records if r.get("command") == "517"][-3:] != ["product", "file", "customer"]:
    sys.exit("%s: the sync did not confirm its three parts" % kind)
db = sqlite3.connect(os.path.join(client, "brivanta_lite.sqlite"))
customers = db.execute("SELECT count(*) FROM brivanta_customer").fetchone()[0]
if customers != 1:
    sys.exit("%s: %d customers arrived, not 1" % (kind, customers))
if os.path.exists(os.path.join(client, "ProductImages", "tb1.jpg")):
    sys.exit("%s: the picture without end was taken as a file" % kind)
left = []
for folder, _, names in os.walk(os.path.join(client, "tempDownload")):
    left += [(os.path.join(folder, n), os.path.getsize(os.path.join(folder, n))) for n in names]
# A trickle's part came at its pace and stays to be continued: it is small.
if kind == "endless" and left or kind == "trickle" and any(size > 1 << 20 for _, size in left):
    sys.exit("%s: tempDownload keeps %r" % (kind, left))
print("ok: %s picture failed alone (asked %d times), customers arrived, tempDownload %r" % (kind, len(asked), left))
PY
done
