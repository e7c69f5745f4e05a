#!/usr/bin/env bash
# Does what README.md says to try the application against the local back end: starts the back
# end, prepares a fresh home, launches the application headless on it, and checks that the
# launch kept the back end's settings.
set -euo pipefail
app=$1
src=$(cd "$(dirname "$0")/../.." && pwd)
export BRIVANTA_HOME=$(mktemp -d)
out=$(mktemp)
script=$(mktemp)
backend=""
trap '{ [ -n "$backend" ] && kill "$backend" 2>/dev/null; } || true; rm -rf "$BRIVANTA_HOME" "$out" "$script"' EXIT

"$src/tools/backend/run" > "$out" 2>&1 &
backend=$!
for _ in $(seq 1200); do [ -s "$out" ] && break; sleep 0.05; done
if grep -q "^backend listening on 127.0.0.1 commands 58080 files 58081" "$out"; then
  curl -sS -o /dev/null "http://127.0.0.1:58080/__state"
else
  # The fixed ports belong to someone else's back end here; the home is checked all the same.
  echo "note: the back end could not take 58080/58081: $(tail -1 "$out")"
fi

"$src/tools/backend/configure_home.py" "$BRIVANTA_HOME" --bundle-info "$(dirname "$app")/Resources/Info.plist"
printf 'waitgone "Preparing the demo data" 60\nexpect "Log in"\n' > "$script"
"$app" --headless --script "$script"

plist=$BRIVANTA_HOME/Library/Preferences/brivanta.plist
/usr/bin/python3 - "$plist" <<'PY'
import plistlib, sys
settings = plistlib.load(open(sys.argv[1], "rb"))
wanted = {"IP": "127.0.0.1", "Port": 58080, "Path": "BrivantaSaas", "ImageIP": "127.0.0.1", "ImagePort": 58081,
          "ImagePath": "brivanta_saas"}
wrong = {k: settings.get(k) for k, v in wanted.items() if settings.get(k) != v}
if wrong:
    sys.exit("after the launch the settings differ: %r" % wrong)
print("ok: the launch kept the back end's settings")
PY
