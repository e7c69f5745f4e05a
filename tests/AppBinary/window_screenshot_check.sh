#!/usr/bin/env bash
# In a real window on a virtual display, --screenshot without a script writes the window's
# picture right after start-up, as a headless run does, and the window stays until SIGTERM.
# Usage: window_screenshot_check.sh APP
set -euo pipefail
virtual_display=$(cd "$(dirname "${BASH_SOURCE[0]}")/../Support" && pwd)/on_virtual_display.sh
app=$1
work=$(mktemp -d)
pid=""
trap '{ [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; } || true; rm -rf "$work"' EXIT
export BRIVANTA_NETWORK=none
export BRIVANTA_HOME=$work/home
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
shot=$work/start.png
SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1024x24" "$app" --screenshot "$shot" > "$work/run.log" 2>&1 &
pid=$!
for _ in $(seq 1200); do
  [ -s "$shot" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
[ -s "$shot" ] || { tail -n 20 "$work/run.log"; echo "no screenshot was written"; exit 1; }
kill -0 "$pid" 2>/dev/null || { echo "the window went away after its screenshot"; exit 1; }
/usr/bin/python3 - "$shot" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
if im.size != (1024, 768):
    sys.exit("the screenshot is %dx%d, not the window's 1024x768" % im.size)
if len(set(im.getdata())) < 16:
    sys.exit("the screenshot shows nothing of the welcome screen")
PY
# The application on its virtual display: the newest process running it with this screenshot.
apppid=$(pgrep -n -f -- "^$app --screenshot $shot" || true)
[ -n "$apppid" ] || { echo "the windowed application is not running"; exit 1; }
kill -TERM "$apppid"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || { tail -n 20 "$work/run.log"; echo "SIGTERM ended the window with status $status"; exit 1; }
