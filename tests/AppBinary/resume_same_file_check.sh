#!/usr/bin/env bash
# A file whose answer breaks off part-way is asked for once more, and what is kept is the back
# end's own file: the part is continued only when the back end shows the same file (its ETag as
# If-Range), it is asked for whole when the first answer showed no validator, and a file the
# office replaced meanwhile comes whole in place of the part. Two roads: a product picture of
# the sync, which must decode, and the brochure downloaded from its library card, which must
# open in the reader. Each time the stored file equals the server's byte for byte.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"

# faults CASE FILE: the back end's faults for CASE on FILE: its first answer cut at 40 %.
faults() {
  local cut="{\"target\": \"$2\", \"kind\": \"truncate\", \"fraction\": 0.4, \"times\": 1"
  case $1 in
    same) control "{\"clearFaults\": true, \"faults\": [$cut}]}" ;;
    plain) control "{\"clearFaults\": true, \"faults\": [$cut, \"validators\": false}]}" ;;
    replaced) control "{\"clearFaults\": true, \"faults\": [$cut}, {\"target\": \"$2\", \"kind\": \"version\", \"times\": 1}]}" ;;
  esac
}

# verify CASE FILE STORED FROM: the two requests for FILE in the back end's log after line FROM,
# and the file STORED against the server's.
verify() {
  local case=$1 file=$2 stored=$3 from=$4
  # The server's file as it stands now: the replaced case's second version is asked for again.
  if [ "$case" = replaced ]; then
    control "{\"clearFaults\": true, \"faults\": [{\"target\": \"$file\", \"kind\": \"version\", \"times\": 1}]}"
  else
    control '{"clearFaults": true}'
  fi
  /usr/bin/python3 - "$work/backend.log" "$from" "$stored" "$case" "$fport" "$file" <<'PY'
import io, os, sys, time, urllib.request
from backend_log import records
from PIL import Image
log, cut, stored_path, case, fport, name = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5], sys.argv[6]
def asked():
    return [r for r in (records(log)[cut:] if os.path.exists(log) else [])
            if r.get("role") == "files" and r.get("request", "").startswith("POST ") and "/%s " % name in r["request"]]
# The back end logs a request once it has answered it; the program asks by POST, this check by GET.
bound = time.monotonic() + 60
while len(asked()) < 2 and time.monotonic() < bound:
    time.sleep(0.1)
found = asked()
if len(found) != 2:
    sys.exit("%s, %s: asked for %d times, not twice" % (name, case, len(found)))
first, second = found
headers = {k.lower(): v for k, v in second["headers"].items()}
answer = second.get("answer") or {}
if case == "same" and not ("range" in headers and "if-range" in headers and answer.get("http") == 206):
    sys.exit("%s, same: the part was not continued on the server's validator: %r, %r" % (name, headers, answer))
if case == "plain" and ("range" in headers or answer.get("http") != 200):
    sys.exit("%s, plain: a part without a validator was continued: %r, %r" % (name, headers, answer))
if case == "replaced" and not ("if-range" in headers and answer.get("http") == 200):
    sys.exit("%s, replaced: the replaced file did not come whole: %r, %r" % (name, headers, answer))
path = second["request"].split()[1]
server = urllib.request.urlopen("http://127.0.0.1:%s%s" % (fport, path), timeout=10).read()
stored = open(stored_path, "rb").read()
if stored != server:
    sys.exit("%s, %s: the stored file (%d bytes) is not the server's (%d bytes)" % (name, case, len(stored), len(server)))
if name.endswith(".jpg"):
    Image.open(io.BytesIO(stored)).load()
print("ok: %s, %s: the file is the server's, byte for byte" % (name, case))
PY
}

log_mark() { if [ -f "$work/backend.log" ]; then wc -l < "$work/backend.log"; else echo 0; fi; }

for case in same plain replaced; do
  faults "$case" ch1.jpg
  { login_lines; cat <<SCRIPT; } > "$work/$case.txt"
tap "Log in"
waitfor "Home" 60
tap "Sync"
tap "Get Updates"
waitgone "0%" 120
waitgone "remaining" 120
SCRIPT
  from=$(log_mark)
  run_app "$work/home-$case" "$work/$case.txt"
  verify "$case" ch1.jpg "$work/home-$case/Documents/acmeco/ProductImages/ch1.jpg" "$from"
done

# The brochure, from its card in a synced home; the reader shows its page once it is whole.
{ relogin_lines; cat <<SCRIPT; } > "$work/library.txt"
tap "Library"
waitstill 30
tap "Library"
waitfor "Brochure" 60
tap "Brochure"
waitstill 30
tap "Download"
waitgone "Downloading" 60
waitstill 30
tap "Brochure"
waitfor "1 of 1" 60
SCRIPT
for case in same plain replaced; do
  rm -rf "$work/library-$case" && cp -a "$work/home-same" "$work/library-$case"
  faults "$case" brochure.pdf
  from=$(log_mark)
  run_app "$work/library-$case" "$work/library.txt"
  verify "$case" brochure.pdf "$work/library-$case/Documents/acmeco/Pdf/brochure.pdf" "$from"
done

# A continuation the back end gives wrongly: the retry of the sync asks for the rest and is
# answered with another version's bytes showing no validator, a range from elsewhere, or a
# compressed range (every answer compressed from then on). The part goes with the refusal, and
# the next sync asks for the whole picture, which lands as the server's and leaves no part.
for case in unshown offset gzip; do
  cut='{"target": "ch1.jpg", "kind": "truncate", "fraction": 0.4, "times": 1}'
  case $case in
    unshown) wrong='{"target": "ch1.jpg", "kind": "version", "validators": false, "ifRange": "ignored", "times": 1}' ;;
    offset) wrong='{"target": "ch1.jpg", "kind": "wrongOffset", "offset": 0, "times": 1}' ;;
    gzip) wrong='{"target": "ch1.jpg", "kind": "gzip"}' ;;
  esac
  control "{\"clearFaults\": true, \"faults\": [$cut, $wrong]}"
  from=$(log_mark)
  run_app "$work/home-$case" "$work/same.txt"
  { relogin_lines; cat <<SCRIPT; } > "$work/again.txt"
tap "Sync"
tap "Get Updates"
waitgone "0%" 120
waitgone "remaining" 120
SCRIPT
  run_app "$work/home-$case" "$work/again.txt"
  # The server's file as it stands now, asked for plainly.
  control '{"clearFaults": true}'
  /usr/bin/python3 - "$work/backend.log" "$from" "$work/home-$case/Documents/acmeco" "$case" "$fport" <<'PY'
import io, os, sys, time, urllib.request
from backend_log import records
from PIL import Image
log, cut, client, case, fport = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
def asked():
    return [r for r in records(log)[cut:]
            if r.get("role") == "files" and r.get("request", "").startswith("POST ") and "/ch1.jpg " in r["request"]]
bound = time.monotonic() + 60
while len(asked()) < 3 and time.monotonic() < bound:
    time.sleep(0.1)
found = asked()
heads = [{k.lower(): v for k, v in r["headers"].items()} for r in found]
answers = [r.get("answer") or {} for r in found]
if len(found) != 3:
    sys.exit("ch1.jpg, %s: asked for %d times, not 3: %r" % (case, len(found), list(zip(heads, answers))))
if "range" not in heads[1]:
    sys.exit("ch1.jpg, %s: the sync's retry did not ask for the rest: %r" % (case, heads[1]))
if "range" in heads[2] or answers[2].get("http") != 200:
    sys.exit("ch1.jpg, %s: the next sync did not ask for the whole file: %r, %r" % (case, heads[2], answers[2]))
path = found[2]["request"].split()[1]
server = urllib.request.urlopen("http://127.0.0.1:%s%s" % (fport, path), timeout=10).read()
stored = open(os.path.join(client, "ProductImages", "ch1.jpg"), "rb").read()
if stored != server:
    sys.exit("ch1.jpg, %s: the stored file (%d bytes) is not the server's (%d bytes)" % (case, len(stored), len(server)))
Image.open(io.BytesIO(stored)).load()
parts = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(client, "tempDownload")) for f in fs]
if parts:
    sys.exit("ch1.jpg, %s: parts stay: %r" % (case, parts))
print("ok: ch1.jpg, %s: the refused continuation's part went, and the next sync took the whole file" % case)
PY
done
