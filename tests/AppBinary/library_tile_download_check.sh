#!/usr/bin/env bash
# A small library download after a start through the saved login's tile: the first start logs
# in from the form with a shortcut and syncs; then, RUNS times over (twenty unless named), a fresh start from a
# copy of that home taps the tile, downloads the brochure from its card, waits as a user would
# and taps it again: the reader shows it every time. What the back end saw is read from its log.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"
runs=${3:-20}

{ login_lines; cat <<SCRIPT; } > "$work/first.txt"
tap "Create shortcut"
tap "Log in"
waitfor "Home" 60
tap "Sync"
tap "Get Updates"
waitgone "0%" 60
waitgone "remaining" 60
SCRIPT
run_app "$work/home" "$work/first.txt"

cat > "$work/second.txt" <<SCRIPT
waitfor "Log in" 60
waitgone "Preparing the demo data" 60
tap 798 666
waitfor "Home" 60
tap "Library"
wait 1
tap "Library"
wait 1
waitfor "Brochure" 60
tap "Brochure"
wait 1
tap "Download"
wait 2
tap "Brochure"
waitfor "1 of 1" 60
SCRIPT
for run in $(seq "$runs"); do
  rm -rf "$work/again" && cp -a "$work/home" "$work/again"
  run_app "$work/again" "$work/second.txt" || { echo "run $run of $runs: the brochure never opened"; exit 1; }
done
test -s "$work/again/Documents/acmeco/Pdf/brochure.pdf"

/usr/bin/python3 - "$work/backend.log" "$runs" <<'PY'
import sys, time
from backend_log import records
runs = int(sys.argv[2])
# The back end may log a kept connection's last request after the program has gone.
bound = time.monotonic() + 60
while True:
    log = records(sys.argv[1])
    brochures = sum(1 for r in log if r.get("command") == "file" and "/library/pdf/brochure.pdf" in r.get("request", ""))
    if brochures >= runs or time.monotonic() > bound:
        break
    time.sleep(0.1)
logins = [r for r in log if r.get("command") == "258"]
if len(logins) != runs + 1:
    sys.exit("expected the form's login and %d by the tile, saw %d" % (runs, len(logins)))
if brochures != runs:
    sys.exit("expected one download of the brochure a start, saw %d in %d starts" % (brochures, runs))
PY
echo "ok: $runs starts by the tile downloaded the brochure and opened it"
