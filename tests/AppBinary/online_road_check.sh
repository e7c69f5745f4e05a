#!/usr/bin/env bash
# The online road through the application binary against the local back end: log in from the
# form with a shortcut, sync, log out through the logo, log in again by the shortcut tile;
# then, on a fresh home, the demo tile alone. What the back end saw is read from its log.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2"

{ login_lines; cat <<SCRIPT; } > "$work/online.txt"
tap "Create shortcut"
tap "Log in"
waitfor "Home" 60
tap "Sync"
tap "Get Updates"
waitgone "0%" 60
waitgone "remaining" 60
screenshot $outdir/road-synced.png
longpress 127 730
tap "Log Out"
waitfor "Log in" 60
screenshot $outdir/road-welcome-with-tile.png
tap 798 666
waitfor "Home" 60
SCRIPT
run_app "$work/home" "$work/online.txt"

cat > "$work/demo.txt" <<SCRIPT
waitfor "Preparing the demo data" 60
waitgone "Preparing the demo data" 60
tap 340 666
waitfor "Home" 60
SCRIPT
demo_from=$(wc -l < "$work/backend.log")
run_app "$work/demo-home" "$work/demo.txt"

/usr/bin/python3 - "$work/backend.log" "$demo_from" <<'PY'
import json, sys
records = []
for line in open(sys.argv[1]):
    try:
        records.append(json.loads(line))
    except ValueError:
        pass
cut = int(sys.argv[2])
online = [r for r in records[:cut] if isinstance(r, dict)]
# The first run's last answer may be logged after it quit: the demo's requests are those that
# carry no account of the first run.
demo = [r for r in records[cut:] if isinstance(r, dict) and r.get("parameters", {}).get("clientId") != "AcmeCo"]
logins = [r["parameters"] for r in online if r.get("command") == "258"]
if len(logins) != 2:
    sys.exit("expected two logins, the form's and the tile's; saw %d" % len(logins))
if logins[0].get("password") != logins[1].get("password") or len(logins[0].get("password", "")) != 32:
    sys.exit("the tile's login sent another credential: %r" % [l.get("password") for l in logins])
commands = [r.get("command") for r in online]
for wanted in ("513", "515", "516"):
    if wanted not in commands:
        sys.exit("the sync never sent %s: %r" % (wanted, commands))
if [r.get("parameters", {}).get("tableType") for r in online if r.get("command") == "517"][-3:] != ["product", "file", "customer"]:
    sys.exit("the sync did not confirm its three parts")
others = sorted({r.get("command") for r in demo} - {"263"})
if others:
    sys.exit("the demo login asked the server: %r" % others)
print("ok: form login, sync, logout, tile login with the same credential; the demo asked nothing")
PY
