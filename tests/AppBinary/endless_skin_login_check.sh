#!/usr/bin/env bash
# The login's skin archive sent without end at 2,000 bytes a second, above the pace every answer
# is held to: the login's wait box closes at its time-out and ends the login with it, archive
# and all; the network's failure is told, the form works again, and a second "Log in", the
# archive sound this time, reaches Home with the skin unpacked. The box's 300 s are shortened
# to 20 s (counted from the tap, in real time while the archive comes).
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"
export BRIVANTA_LOGIN_WAIT_SECONDS=20

control '{"faults": [{"target": "SkinImages.zip", "kind": "endless", "bytesPerSecond": 2000, "times": 1}]}'

{ login_lines; cat <<SCRIPT; } > "$work/skin.txt"
tap "Log in"
waitfor "Loading your company" 60
waitgone "Loading your company" 60
waitfor "Network error" 10
wait 1
screenshot $outdir/endless-skin-login-failed.png
tap "OK"
waitgone "Network error" 10
tap "Log in"
waitfor "Home" 120
waitgone "Loading your company" 120
waitstill 30
screenshot $outdir/endless-skin-login-home.png
SCRIPT
started=$SECONDS
run_app "$work/home" "$work/skin.txt"
echo "the script took $((SECONDS - started)) s"

/usr/bin/python3 - "$work/backend.log" "$work/home/Documents/acmeco" <<'PY'
import os, sys
from backend_log import records
archives = [r for r in records(sys.argv[1])
            if r.get("role") == "files" and "/SkinImages.zip " in r.get("request", "")]
faults = [(r.get("answer") or {}).get("fault") for r in archives]
if faults != ["endless", None]:
    sys.exit("the skin archive was answered %r, not once without end and then whole" % faults)
skin = os.path.join(sys.argv[2], "SkinImages")
if not os.path.isdir(skin) or not os.listdir(skin):
    sys.exit("the second login unpacked no skin into %s" % skin)
print("ok: the endless archive ended with the wait box, and the second login took the whole one")
PY
