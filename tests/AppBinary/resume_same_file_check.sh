#!/usr/bin/env bash
# A sync whose product picture breaks off half-way is asked for once more, and what it keeps is
# the back end's own file: the part is continued only when the back end shows the same file
# (its ETag as If-Range), it is asked for whole when the first answer showed no validator, and
# a file the office replaced meanwhile comes whole in place of the part. Each time the stored
# picture equals the server's byte for byte and decodes.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"

cut='{"target": "ch1.jpg", "kind": "truncate", "fraction": 0.4, "times": 1'
for case in same plain replaced; do
  case $case in
    same) control "{\"clearFaults\": true, \"faults\": [$cut}]}" ;;
    plain) control "{\"clearFaults\": true, \"faults\": [$cut, \"validators\": false}]}" ;;
    replaced) control "{\"clearFaults\": true, \"faults\": [$cut}, {\"target\": \"ch1.jpg\", \"kind\": \"version\", \"times\": 1}]}" ;;
  esac
  { login_lines; cat <<SCRIPT; } > "$work/$case.txt"
tap "Log in"
waitfor "Home" 60
tap "Sync"
tap "Get Updates"
waitgone "0%" 120
waitgone "remaining" 120
SCRIPT
  from=0
  [ -f "$work/backend.log" ] && from=$(wc -l < "$work/backend.log")
  run_app "$work/home-$case" "$work/$case.txt"
  # The server's file as it stands now: the replaced case's second version is asked for again.
  [ "$case" = replaced ] && control '{"clearFaults": true, "faults": [{"target": "ch1.jpg", "kind": "version", "times": 1}]}'
  [ "$case" = replaced ] || control '{"clearFaults": true}'
  /usr/bin/python3 - "$work/backend.log" "$from" "$work/home-$case/Documents/acmeco" "$case" "$fport" <<'PY'
import io, json, os, sys, time, urllib.request
from PIL import Image
log, cut, client, case, fport = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
def asked():
    found = []
    for line in (list(open(log))[cut:] if os.path.exists(log) else []):
        try:
            record = json.loads(line)
        except ValueError:
            continue
        if isinstance(record, dict) and record.get("role") == "files" and record.get("request", "").startswith("POST ") and "/ch1.jpg " in record["request"]:
            found.append(record)
    return found
# The back end logs a request once it has answered it; the program asks by POST, this check by GET.
bound = time.monotonic() + 60
while len(asked()) < 2 and time.monotonic() < bound:
    time.sleep(0.1)
records = asked()
if len(records) != 2:
    sys.exit("%s: the picture was asked for %d times, not twice" % (case, len(records)))
first, second = records
headers = {k.lower(): v for k, v in second["headers"].items()}
answer = second.get("answer") or {}
if case == "same" and not ("range" in headers and "if-range" in headers and answer.get("http") == 206):
    sys.exit("same: the part was not continued on the server's validator: %r, %r" % (headers, answer))
if case == "plain" and ("range" in headers or answer.get("http") != 200):
    sys.exit("plain: a part without a validator was continued: %r, %r" % (headers, answer))
if case == "replaced" and not ("if-range" in headers and answer.get("http") == 200):
    sys.exit("replaced: the replaced file did not come whole: %r, %r" % (headers, answer))
path = second["request"].split()[1]
server = urllib.request.urlopen("http://127.0.0.1:%s%s" % (fport, path), timeout=10).read()
stored = open(os.path.join(client, "ProductImages", "ch1.jpg"), "rb").read()
if stored != server:
    sys.exit("%s: the stored picture (%d bytes) is not the server's (%d bytes)" % (case, len(stored), len(server)))
Image.open(io.BytesIO(stored)).load()
print("ok: %s: the picture is the server's, byte for byte, and decodes" % case)
PY
done
