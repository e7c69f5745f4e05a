#!/usr/bin/env bash
# The library road through the real binary: log in against the local back end, sync, download
# the brochure, open it in the reader, check its page and leave; then open it again from the
# chair's related materials. The reader's record is on disk.
set -euo pipefail
app=$1
src=$(cd "$(dirname "$0")/../.." && pwd)
export BRIVANTA_HOME=$(mktemp -d)
out=$(mktemp)
script=$(mktemp)
backend=""
trap '{ [ -n "$backend" ] && kill "$backend" 2>/dev/null; } || true; rm -rf "$BRIVANTA_HOME" "$out" "$script"' EXIT

/usr/bin/python3 "$src/tools/backend/server.py" --port 0 --file-port 0 > "$out" 2>&1 &
backend=$!
for _ in $(seq 1200); do read -r _ _ _ _ _ port _ files _ < "$out" 2>/dev/null && break; sleep 0.05; done
[ -n "${files:-}" ] || { cat "$out"; echo "the back end did not start"; exit 1; }
"$src/tools/backend/configure_home.py" "$BRIVANTA_HOME" --port "$port" --file-port "$files" \
  --bundle-info "$(dirname "$app")/Resources/Info.plist" > /dev/null

cat > "$script" <<'SCRIPT'
waitfor "Preparing the demo data" 60
waitgone "Preparing the demo data" 60
tap 508 289
type "alice"
tap 508 341
type "s3cret!"
tap 508 393
type "AcmeCo"
tap "Log in"
waitfor "Home" 60
tap "Sync"
tap "Sync"
tap "Get Updates"
waitfor "Completed" 60
waitgone "No record" 90
tap 715 735
wait 2
tap "Brochure"
wait 1
tap "Download"
waitgone "Download" 60
wait 2
tap "Brochure"
wait 2
waitfor "1 of 1" 60
waitstill 10
expect "Brochure"
tap 37 22
wait 2
waitfor "My documents" 60
tap "Catalog"
wait 1
tap 347 128
wait 1
waitfor "Add to Order" 60
tap 694 414
wait 1
waitfor "Related materials" 60
tap "Brochure"
wait 2
waitfor "1 of 1" 60
waitstill 10
tap 37 22
wait 2
waitfor "Related materials" 60
tap "Close"
wait 1
waitfor "Add to Order" 60
SCRIPT
"$app" --headless --script "$script" > /dev/null

/usr/bin/python3 - "$BRIVANTA_HOME" <<'PY'
import glob, plistlib, sys
records = [plistlib.load(open(p, "rb")) for p in glob.glob(sys.argv[1] + "/Library/Application Support/*.plist")]
brochure = [r for r in records if r.get("FileName", "").endswith("/Pdf/brochure.pdf")]
if not brochure:
    sys.exit("no reader record for the brochure: %r" % records)
if brochure[0].get("PageCount") != 1 or len(brochure[0].get("FileGUID", "")) != 36:
    sys.exit("the brochure's record is wrong: %r" % brochure[0])
print("ok: the brochure opened in the reader and its record was kept")
PY
