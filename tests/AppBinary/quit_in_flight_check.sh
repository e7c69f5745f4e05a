#!/usr/bin/env bash
# Quitting while work is in flight ends the program within the bound (2 s by default): each
# case starts the work through the application binary, waits until it is under way, then
# sends SIGTERM (or closes the window) and measures until the process has gone. Every run
# exits 0 with no sanitizer report, and the next start of its data folder is not refused.
# Usage: quit_in_flight_check.sh APP [CASES] (default: every case below)
set -euo pipefail
virtual_display=$(cd "$(dirname "${BASH_SOURCE[0]}")/../Support" && pwd)/on_virtual_display.sh
app=$1
source "$(dirname "$0")/backend_support.sh"
here=$src/tests/AppBinary
cases=${2:-open-plain open-slow open-slow-window thumbnails office library-download video sync-tables sync-files sync-endless sync-customers customer-upload order-upload}
bound=${QUIT_BOUND:-2}
pid=""
trap '{ [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; } || true; { [ -n "$backend" ] && kill "$backend" 2>/dev/null; } || true; rm -rf "$work"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

# A long document whose cross-reference table cannot be read: the page worker rebuilds it by
# reading the whole file, so opening takes a while and then succeeds.
/usr/bin/python3 - "$work/slow.pdf" "$work/long.pdf" <<'PY'
import sys
def write(n, path):
    parts = ["%PDF-1.7\n", "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n",
             "2 0 obj\n<< /Type /Pages /Kids [%s] /Count %d >>\nendobj\n" % (" ".join("%d 0 R" % (i + 3) for i in range(n)), n)]
    parts += ["%d 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>\nendobj\n" % (i + 3) for i in range(n)]
    parts.append("trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n999999999\n%%%%EOF\n" % (n + 3))
    open(path, "w").write("".join(parts))
write(300000, sys.argv[1])
write(100000, sys.argv[2])  # a third: it opens within the worker's limits in a checked build too
PY

# The demo's home, prepared once; each case runs on a copy.
cat > "$work/prepare.txt" <<'LINES'
waitfor "Preparing the demo data" 60
waitgone "Preparing the demo data" 60
waitfor "Log in" 60
LINES
BRIVANTA_NETWORK=none BRIVANTA_HOME=$work/demo "$app" --headless --script "$work/prepare.txt" > "$work/prepare.log" 2>&1 \
  || { tail -n 20 "$work/prepare.log"; exit 1; }

demo_lines() {
  cat <<'LINES'
wait 1
tap 340 666
waitfor "Home" 60
tap "Library"
wait 1
tap "Library"
waitfor "Seating Guide" 60
LINES
}

# Sets a fault on the back end: control '{"faults": [...]}'
control() {
  /usr/bin/python3 - "$cport" "$1" <<'PY'
import sys, urllib.request
request = urllib.request.Request("http://127.0.0.1:%s/__control" % sys.argv[1], data=sys.argv[2].encode(), method="POST")
urllib.request.urlopen(request, timeout=10).read()
PY
}

# An order of one Chair One for the customer whose name begins with TEXT (Glo: Globex, known),
# or for a new one added at the question, then Submit.
order_lines() {
  chair_order_lines "$1"
  if [ "$1" = Glo ]; then
    printf 'tap "Globex"\nwait 0.5\ntap "Save"\nwait 1\n'
  else
    printf 'tap "Save"\nwait 1\ntap "Add"\nwait 1\n'
  fi
  printf 'tap "Submit"\n'
}

# Whether the case's work is under way: 0 yes, 1 not yet.
threads_named() { cat /proc/"$pid"/task/*/comm 2>/dev/null | grep -qx "$1"; }
descendant_named() {
  local p
  for p in $(pgrep -f "$1" 2>/dev/null); do
    local q=$p
    while [ -n "$q" ] && [ "$q" -gt 1 ]; do
      [ "$q" = "$pid" ] && return 0
      q=$(awk '{print $4}' /proc/"$q"/stat 2>/dev/null) || break
    done
  done
  return 1
}
under_way() {
  case $1 in
    open-plain) threads_named pdf-open ;;
    open-slow|open-slow-window) descendant_named brivanta-pdf-worker ;;
    thumbnails) compgen -G "$home/Library/Caches/*/*.png" > /dev/null ;;
    office) descendant_named soffice ;;
    video) [ -e "$work/marker.png" ] ;;
    library-download) grep -q "cat.pdf" "$work/held" 2>/dev/null ;;
    sync-tables) grep -qx 513 "$work/held" 2>/dev/null ;;
    sync-files) grep -q "\." "$work/held" 2>/dev/null ;;
    # A picture without a length streams in: its partial file passes 1 MiB.
    sync-endless) [ -n "$(find "$home" -path "*tempDownload*" -type f -size +1M 2>/dev/null)" ] ;;
    sync-customers) grep -qx 516 "$work/held" 2>/dev/null ;;
    customer-upload) grep -qx 520 "$work/held" 2>/dev/null ;;
    order-upload) grep -qx 518 "$work/held" 2>/dev/null ;;
  esac
}

# The script of a case, and what it needs first.
case_script() {
  case $1 in
    open-plain) demo_lines; echo 'tap "Seating Guide"' ;;
    open-slow|open-slow-window) demo_lines; echo 'tap "Seating Guide"' ;;
    thumbnails) demo_lines; echo 'tap "Tolbernix Collection 2026"' ;;
    office|video|library-download)
      synced_lines
      printf 'tap "Library"\nwait 1\ntap "Library"\nwait 1\nwaitfor "Autumn catalogue" 60\n'
      case $1 in
        office) printf 'tap "Meeting notes"\ntap "Download"\nwaitgone "Downloading" 60\ntap "Meeting notes"\n' ;;
        video) printf 'tap "Demo video"\ntap "Download"\nwaitgone "Downloading" 60\nscreenshot %s\ntap "Demo video"\n' "$work/marker.png" ;;
        library-download) printf 'tap "Autumn catalogue"\ntap "Download"\n' ;;
      esac ;;
    sync-tables|sync-files|sync-endless|sync-customers) login_lines; printf 'tap "Log in"\nwaitfor "Home" 60\ntap "Sync"\ntap "Get Updates"\n' ;;
    customer-upload) synced_lines; order_lines Renco ;;
    order-upload) synced_lines; order_lines Glo ;;
  esac
  echo 'waitfor "never shown" 300'
}

run_case() {
  local name=$1 log=$work/$1.log status=0 fixture=S
  rm -f "$work/held" "$work/marker.png" "$work/under-way"
  case $name in
    open-*|thumbnails)
      home=$work/home-$name
      rm -rf "$home" && cp -a "$work/demo" "$home"
      [ "${name#open-slow}" != "$name" ] && cp "$work/slow.pdf" "$(find "$home/Documents" -name seating_guide.pdf | head -n 1)"
      export BRIVANTA_NETWORK=none ;;
    *)
      [ "$name" = office ] || [ "$name" = video ] || [ "$name" = library-download ] && fixture=LIB
      start_backend --fixture "$fixture" --held-file "$work/held"
      home=$work/home-$name
      rm -rf "$home"
      prepare_home "$home"
      unset BRIVANTA_NETWORK
      case $name in
        library-download) control '{"faults": [{"target": "cat.pdf", "kind": "delay", "seconds": 120}]}' ;;
        sync-tables) control '{"faults": [{"target": "513", "kind": "delay", "seconds": 120}]}' ;;
        sync-files) control '{"faults": [{"target": "files", "kind": "delay", "seconds": 120}]}' ;;
        sync-endless) control '{"faults": [{"target": "tb1.jpg", "kind": "endless", "bytesPerSecond": 2000000}]}' ;;
        sync-customers) control '{"faults": [{"target": "516", "kind": "delay", "seconds": 120}]}' ;;
        customer-upload) control '{"faults": [{"target": "520", "kind": "delay", "seconds": 120}]}' ;;
        order-upload) control '{"faults": [{"target": "518", "kind": "delay", "seconds": 120}]}' ;;
      esac ;;
  esac
  case_script "$name" > "$work/$name.txt"
  local runner
  if [ "$name" = open-slow-window ]; then
    BRIVANTA_HOME=$home SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1024x24" \
      bash -c '"$0" --script "$1" & app=$!; echo $app > "$2"; "$3" $app "$4" >> "$2.close" 2>&1; wait $app' \
      "$app" "$work/$name.txt" "$work/app.pid" "$here/close_window.py" "$work/under-way" > "$log" 2>&1 &
    runner=$!
    for _ in $(seq 1200); do [ -s "$work/app.pid" ] && break; sleep 0.05; done
    pid=$(cat "$work/app.pid")
  else
    BRIVANTA_HOME=$home "$app" --headless --script "$work/$name.txt" > "$log" 2>&1 &
    pid=$!
    runner=$pid
  fi
  local found=0
  for _ in $(seq 6000); do
    kill -0 "$pid" 2>/dev/null || break
    if under_way "$name"; then found=1; break; fi
    sleep 0.02
  done
  [ "$found" -eq 1 ] || { tail -n 30 "$log"; echo "$name: the work never got under way"; exit 1; }
  # The video starts a moment after its tap.
  [ "$name" = video ] && sleep 0.$((RANDOM % 4))
  local start seconds
  start=$(date +%s%N)
  if [ "$name" = open-slow-window ]; then
    touch "$work/under-way"
  else
    kill -TERM "$pid"
  fi
  # Gone when it can no longer be signalled; a window's shell reaps it at once.
  local deadline=$(($(date +%s) + ${bound%.*} + 5))
  while [ "$(date +%s)" -le "$deadline" ]; do
    kill -0 "$pid" 2>/dev/null || break
    ps -o stat= -p "$pid" 2>/dev/null | grep -q Z && break
    sleep 0.005
  done
  seconds=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
  if ! awk -v s="$seconds" -v b="$bound" 'BEGIN { exit !(s <= b) }'; then
    tail -n 20 "$log"
    # Where it is stuck, when it still is.
    if kill -0 "$pid" 2>/dev/null && command -v gdb > /dev/null; then
      gdb -p "$pid" -batch -ex "thread apply all bt 30" 2>/dev/null | grep -E "^Thread|^#" | head -n 300
    fi
    echo "$name: still running $seconds s after the quit"; exit 1
  fi
  wait "$runner" || status=$?
  pid=""
  if grep -q "AddressSanitizer\|LeakSanitizer\|runtime error:" "$log"; then
    tail -n 40 "$log"; echo "$name: a memory error was reported"; exit 1
  fi
  [ "$status" -eq 0 ] || { tail -n 20 "$log"; echo "$name: exited with $status"; exit 1; }
  # The data folder's lock went with the program.
  printf 'waitfor "Log in" 60\n' > "$work/again.txt"
  BRIVANTA_NETWORK=none BRIVANTA_HOME=$home "$app" --headless --script "$work/again.txt" > "$work/again.log" 2>&1 \
    || { tail -n 5 "$work/again.log"; echo "$name: the next start was refused"; exit 1; }
  echo "ok: $name: gone $seconds s after the quit"
}

# A script's wait covers the opening of a document as it covers pictures: after "wait 1" the
# reader of the slow document shows.
if [ -z "${2:-}" ] || [ "$2" = wait ]; then
  home=$work/home-wait
  rm -rf "$home" && cp -a "$work/demo" "$home"
  cp "$work/long.pdf" "$(find "$home/Documents" -name seating_guide.pdf | head -n 1)"
  { demo_lines; printf 'tap "Seating Guide"\nwait 1\nexpect "1 of 100000"\n'; } > "$work/wait.txt"
  # On a machine too busy to draw the first page within a worker's time limit the opening ends
  # refused: the wait held until then, as a wait that ended early (the program then quitting
  # and stopping its worker) never would.
  if BRIVANTA_NETWORK=none BRIVANTA_HOME=$home timeout -s KILL 120 "$app" --headless --script "$work/wait.txt" > "$work/wait.log" 2>&1; then
    echo "ok: wait: the script waited for the document to open"
  elif grep -q "page 0 of .*seating_guide.pdf not read: over its time limit" "$work/wait.log"; then
    echo "ok: wait: the script waited until the busy machine's worker gave the first page up"
  else
    tail -n 5 "$work/wait.log"; echo "wait: the script's wait ended before the document opened"; exit 1
  fi
fi

for name in $cases; do
  [ "$name" = wait ] || run_case "$name"
done
