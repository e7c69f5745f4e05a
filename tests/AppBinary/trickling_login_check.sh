#!/usr/bin/env bash
# A login answer sent at one byte a second, to the login and to its one re-send: the answer is
# held to the pace every answer is, so "Logging in…" is gone within a minute and the network's
# failure is told (no data of the client on the device yet); the form works again, and a second
# "Log in", the back end sound again, reaches Home. Then the sync's customer table comes the same
# way: the sync ends with the network's message. The pace is the program's own, 1 KiB a second,
# judged over 5 s rather than 20 so that the road takes seconds.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"
export BRIVANTA_TEST_LIMITS="lowSpeedBytes=5120,lowSpeedSeconds=5"

control '{"faults": [{"target": "258", "kind": "slow", "bytesPerSecond": 1, "times": 2},
         {"target": "516", "kind": "slow", "bytesPerSecond": 1, "times": 2}]}'

{ login_lines; cat <<SCRIPT; } > "$work/trickle.txt"
tap "Log in"
waitfor "Logging in" 10
waitgone "Logging in" 60
waitfor "needs a network connection" 10
wait 1
screenshot $outdir/trickling-login-failed.png
tap "OK"
waitgone "needs a network connection" 10
tap "Log in"
waitfor "Home" 60
screenshot $outdir/trickling-login-home.png
tap "Sync"
tap "Get Updates"
waitfor "Network error" 90
wait 1
screenshot $outdir/trickling-customers-failed.png
SCRIPT
run_app "$work/home" "$work/trickle.txt"

/usr/bin/python3 - "$work/backend.log" <<'PY'
import sys
from backend_log import records as read_records
records = read_records(sys.argv[1])
def faults(command):
    return [(r.get("answer") or {}).get("fault") for r in records if r.get("command") == command]
if faults("258") != ["slow", "slow", None]:
    sys.exit("the logins were answered %r, not twice trickling and then whole" % faults("258"))
if faults("516") != ["slow", "slow"]:
    sys.exit("the customer tables were answered %r, not twice trickling" % faults("516"))
print("ok: the trickling login and customer table each ended as a time-out after their re-send")
PY
