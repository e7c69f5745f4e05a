#!/usr/bin/env bash
# SIGTERM while the reader draws a page that never ends (forms nested 40 deep, each drawing the
# next twice), headless and in a window: headless, the screenshot draws that page's tiles on
# the main thread, waiting on its page worker; in a window the tiles are drawn behind it. The
# application is gone within the bound the other quitting checks keep (2 s by default: on an idle
# machine it takes well under one), and exits 0.
# Usage: endless_page_quit_check.sh APP [MODES] (MODES: "headless window" by default)
set -euo pipefail
virtual_display=$(cd "$(dirname "${BASH_SOURCE[0]}")/../Support" && pwd)/on_virtual_display.sh
app=$1
modes=${2:-headless window}
work=$(mktemp -d)
pid=""
trap '{ [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; } || true; rm -rf "$work"' EXIT
export BRIVANTA_NETWORK=none
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

/usr/bin/python3 - "$work/forms.pdf" <<'PY'
import sys
objects = []
def add(body):
    objects.append(body)
    return len(objects)
def stream(entries, data):
    return "<< %s /Length %d >>\nstream\n%s\nendstream" % (entries, len(data), data)
catalog = add(None)
pages = add(None)
nxt = add(stream("/Type /XObject /Subtype /Form /BBox [0 0 612 792]", "0 0 1 rg 0 0 10 10 re f"))
for i in range(1, 40):
    nxt = add(stream("/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /XObject << /F %d 0 R >> >>" % nxt,
                     "q 0.5 0 0 0.5 0 0 cm /F Do Q q 0.5 0 0 0.5 300 0 cm /F Do Q"))
contents = add(stream("", "/F Do"))
page = add("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Resources << /XObject << /F %d 0 R >> >> /Contents %d 0 R >>"
           % (pages, nxt, contents))
objects[pages - 1] = "<< /Type /Pages /Kids [%d 0 R] /Count 1 >>" % page
objects[catalog - 1] = "<< /Type /Catalog /Pages %d 0 R >>" % pages
out = "%PDF-1.7\n"
offsets = []
for i, body in enumerate(objects):
    offsets.append(len(out))
    out += "%d 0 obj\n%s\nendobj\n" % (i + 1, body)
xref = len(out)
out += "xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
out += "".join("%010d 00000 n \n" % o for o in offsets)
out += "trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, catalog, xref)
open(sys.argv[1], "w").write(out)
PY

# A home with the demo data prepared, the seating guide replaced by the endless page.
cat > "$work/prepare.txt" <<'LINES'
waitfor "Preparing the demo data" 300
waitgone "Preparing the demo data" 300
waitfor "Log in" 300
tap 340 666
waitfor "Home" 300
LINES
BRIVANTA_HOME=$work/home "$app" --headless --script "$work/prepare.txt" > "$work/prepare.log" 2>&1 \
  || { tail -n 20 "$work/prepare.log"; exit 1; }
guide=$(find "$work/home/Documents" -name seating_guide.pdf | head -n 1)
[ -n "$guide" ] || { echo "the demo data has no seating guide"; exit 1; }
cp "$work/forms.pdf" "$guide"

# Processor time of the application's page workers, in clock ticks. Only the program's children
# are read, with the shell's own reads: a walk over every process forks too much to keep up on a
# busy machine.
workers_ticks() {
  local total=0 child stat name
  for child in $(pgrep -P "$pid" 2>/dev/null); do
    read -r stat < /proc/"$child"/stat 2>/dev/null || continue
    name=${stat#*(}
    name=${name%%)*}
    stat=${stat##*) }
    set -- $stat
    # Fields after the name: state, parent, ... user and system time are the 12th and 13th.
    [ "${name#brivanta-pdf}" != "$name" ] && total=$((total + ${12} + ${13}))
  done
  echo "$total"
}

run_mode() {
  local mode=$1 log=$work/$1.log runner status=0
  rm -f "$work/shot.png" "$work/app.pid"
  {
    cat <<LINES
waitfor "Log in" 300
waitgone "Preparing the demo data" 300
waitstill 300
tap 340 666
waitfor "Home" 300
tap "Library"
waitfor "Seating Guide" 300
tap "Seating Guide"
waitfor "1 of 1" 300
wait 1
LINES
    [ "$mode" = headless ] && echo "screenshot $work/shot.png"
    echo 'waitfor "never shown" 120'
  } > "$work/open.txt"
  if [ "$mode" = headless ]; then
    BRIVANTA_HOME=$work/home "$app" --headless --script "$work/open.txt" > "$log" 2>&1 &
    pid=$!
    runner=$pid
  else
    BRIVANTA_HOME=$work/home SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1024x24" \
      bash -c '"$0" --script "$1" & app=$!; echo $app > "$2"; wait $app' "$app" "$work/open.txt" "$work/app.pid" \
      > "$log" 2>&1 &
    runner=$!
    for _ in $(seq 1200); do [ -s "$work/app.pid" ] && break; sleep 0.05; done
    [ -s "$work/app.pid" ] || { tail -n 20 "$log"; echo "$mode: the application never started"; exit 1; }
    pid=$(cat "$work/app.pid")
  fi

  # The page is being drawn once its worker has spent a fifth of a second on it. Looked for as
  # long as the program runs (its script's waits bound it) and the page is not given up.
  local drawing=0
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$(workers_ticks)" -ge 20 ]; then drawing=1; break; fi
    grep -q "seating_guide.pdf not read" "$log" && break
    sleep 0.05
  done
  if grep -q "seating_guide.pdf not read: over its time limit" "$log"; then
    # Beside a heavy load the worker may get too little of the processor to be seen drawing
    # before its time limit gives the page up: there is nothing to quit from, so it goes again.
    kill -TERM "$pid" 2>/dev/null || true
    wait "$runner" 2>/dev/null || true
    pid=""
    gave_up=1
    return 0
  fi
  [ "$drawing" -eq 1 ] || { tail -n 20 "$log"; echo "$mode: the endless page was never drawn"; exit 1; }
  [ ! -e "$work/shot.png" ] || { echo "$mode: the screenshot was taken before the page was drawn"; exit 1; }

  local start seconds
  start=$(date +%s%N)
  kill -TERM "$pid"
  if [ "$mode" = headless ]; then
    wait "$pid" || status=$?
  else
    # In a window the application is not this shell's child: it is gone when it can no longer
    # be signalled (its own shell reaps it at once).
    for _ in $(seq 2000); do kill -0 "$pid" 2>/dev/null || break; sleep 0.005; done
  fi
  seconds=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
  if [ "$mode" != headless ]; then
    kill -0 "$pid" 2>/dev/null && { echo "$mode: still running $seconds s after SIGTERM"; exit 1; }
    wait "$runner" || status=$?
  fi
  pid=""
  if grep -q "AddressSanitizer\|LeakSanitizer\|runtime error:" "$log"; then
    tail -n 40 "$log"; echo "$mode: a memory error was reported"; exit 1
  fi
  [ "$status" -eq 0 ] || { tail -n 20 "$log"; echo "$mode: exited with $status"; exit 1; }
  echo "$mode: quit $seconds s after SIGTERM"
  awk -v s="$seconds" -v b="${QUIT_BOUND:-2}" 'BEGIN { exit !(s <= b) }' || { echo "$mode: quitting took $seconds s, more than ${QUIT_BOUND:-2} s"; exit 1; }
}

for mode in $modes; do
  for attempt in 1 2 3 4 5; do
    gave_up=0
    run_mode "$mode"
    [ "$gave_up" -eq 1 ] || continue 2
    echo "$mode: attempt $attempt: the page went over its time limit before it was seen drawing"
  done
  echo "$mode: every attempt's page went over its time limit first"
  exit 1
done
