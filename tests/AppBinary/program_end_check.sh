#!/usr/bin/env bash
# The program's end waits for nothing the user no longer asked for.
#   pictures: every product picture a 7990 x 7990 GIF whose first frame is one pixel, each a
#     long decode; after a sync, the catalogue and a product page, the script ends while such
#     decodes are queued and running: the program is gone within the bound (2 s by default).
#   office: an office document converting (a stand-in converter that never ends, with a helper
#     of its own) when the program gets SIGTERM: gone within the bound, exit 0, the document
#     handed to no other program, no time-out logged, the converter and its helper gone; and
#     after kill -9 of the program, the converter and its helper gone within 2 s too.
# Usage: program_end_check.sh APP [CASES] (default: pictures office)
set -euo pipefail
app=$1
source "$(dirname "$0")/backend_support.sh"
cases=${2:-pictures office}
bound=${QUIT_BOUND:-2}
pid=""
trap '{ [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; } || true; { [ -n "$backend" ] && kill "$backend" 2>/dev/null; } || true; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

# The seconds since START (from date +%s%N).
since() { awk -v a="$1" -v b="$(date +%s%N)" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }
within() { awk -v s="$1" -v b="$2" 'BEGIN { exit !(s <= b) }'; }

# Waits, up to SECONDS, until every process numbered in the files given has gone.
processes_gone() {
  local seconds=$1 file p left
  shift
  local deadline=$(($(date +%s%N) + ${seconds%.*} * 1000000000))
  while :; do
    left=""
    for file in "$@"; do
      p=$(cat "$file" 2>/dev/null) || continue
      [ -n "$p" ] || continue
      if kill -0 "$p" 2>/dev/null && ! ps -o stat= -p "$p" 2>/dev/null | grep -q Z; then left="$left $p"; fi
    done
    [ -z "$left" ] && return 0
    [ "$(date +%s%N)" -ge "$deadline" ] && { echo "still running:$left"; ps -o pid,ppid,pgid,args -p "${left# }" || true; return 1; }
    sleep 0.02
  done
}

# Waits until the program PID has gone, from START; prints the seconds taken.
gone_after() {
  local start=$1 limit=$(($(date +%s) + ${bound%.*} + 60))
  while [ "$(date +%s)" -le "$limit" ]; do
    kill -0 "$pid" 2>/dev/null || break
    ps -o stat= -p "$pid" 2>/dev/null | grep -q Z && break
    sleep 0.005
  done
  since "$start"
}

pictures_case() {
  local pictures=$work/pictures
  mkdir -p "$pictures"
  # A screen of 7990 x 7990 whose one frame is a single pixel at its corner.
  /usr/bin/python3 - "$pictures/huge.gif" <<'PY'
import sys
side = (7990).to_bytes(2, "little")
gif = bytearray(b"GIF89a" + side + side + bytes([0xF0, 0, 0]))
gif += bytes([0, 0, 0, 255, 255, 255])
gif += b"\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00"
# Codes of three bits from a code size of 2: clear (4), the pixel (1), end (5).
gif += bytes([2, 2, 0x4C, 0x01, 0])
gif += b"\x3b"
open(sys.argv[1], "wb").write(bytes(gif))
PY
  start_backend --picture-file "*=$pictures/huge.gif"
  { synced_lines; cat <<SCRIPT; } > "$work/pictures.txt"
tap "Catalog"
wait 1
waitfor "Chair One" 60
tap 347 128
waitfor "Back" 60
screenshot $work/ended.png
SCRIPT
  prepare_home "$work/home-pictures"
  "$app" --headless --script "$work/pictures.txt" > "$work/pictures.log" 2>&1 &
  pid=$!
  # The script's last step is its screenshot: the program ends right after it.
  for _ in $(seq 30000); do
    [ -e "$work/ended.png" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  local start
  start=$(date +%s%N)
  [ -e "$work/ended.png" ] || { tail -n 30 "$work/pictures.log"; echo "pictures: the script did not reach its end"; exit 1; }
  grep -q "7990" "$work/pictures.log" && grep "7990" "$work/pictures.log" | head -n 3
  local seconds status=0
  seconds=$(gone_after "$start")
  if ! within "$seconds" "$bound"; then
    tail -n 20 "$work/pictures.log"
    if kill -0 "$pid" 2>/dev/null && command -v gdb > /dev/null; then
      gdb -p "$pid" -batch -ex "thread apply all bt 20" 2>/dev/null | grep -E "^Thread|^#" | head -n 200
    fi
    echo "pictures: still running $seconds s after the script's end"; exit 1
  fi
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || { tail -n 20 "$work/pictures.log"; echo "pictures: exited with $status"; exit 1; }
  echo "ok: pictures: gone $seconds s after the script's end"
  kill "$backend" 2>/dev/null || true
  wait "$backend" 2>/dev/null || true
  backend=""
}

# Stand-ins on the PATH: a converter that never ends and starts a helper of its own, each
# writing its process number; and the desktop's programs, which record that they were run.
office_stand_ins() {
  mkdir -p "$work/bin"
  cat > "$work/bin/soffice" <<STANDIN
#!/bin/sh
sleep 600 &
echo \$! > "$work/helper.pid"
echo \$\$ > "$work/soffice.pid"
wait
STANDIN
  for name in xdg-open xdg-mime; do
    printf '#!/bin/sh\necho "%s $*" >> "%s"\necho office.desktop\n' "$name" "$work/desktop-calls" > "$work/bin/$name"
  done
  chmod +x "$work/bin/soffice" "$work/bin/xdg-open" "$work/bin/xdg-mime"
}

# Starts the program on the library and opens the office document; returns once the
# converter runs.
office_start() {
  local name=$1
  rm -f "$work/soffice.pid" "$work/helper.pid"
  prepare_home "$work/home-$name"
  { synced_lines; printf 'tap "Library"\nwait 1\ntap "Library"\nwait 1\nwaitfor "Autumn catalogue" 60\n'
    printf 'tap "Meeting notes"\ntap "Download"\nwaitgone "Downloading" 60\ntap "Meeting notes"\n'
    echo 'waitfor "never shown" 300'; } > "$work/$name.txt"
  PATH=$work/bin:$PATH "$app" --headless --script "$work/$name.txt" > "$work/$name.log" 2>&1 &
  pid=$!
  for _ in $(seq 30000); do
    [ -s "$work/soffice.pid" ] && [ -s "$work/helper.pid" ] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  tail -n 30 "$work/$name.log"; echo "$name: the conversion never started"; exit 1
}

office_case() {
  office_stand_ins
  start_backend --fixture LIB
  rm -f "$work/desktop-calls"

  office_start office-term
  local start seconds status=0
  start=$(date +%s%N)
  kill -TERM "$pid"
  seconds=$(gone_after "$start")
  within "$seconds" "$bound" || { tail -n 20 "$work/office-term.log"; echo "office, SIGTERM: still running $seconds s after it"; exit 1; }
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || { tail -n 20 "$work/office-term.log"; echo "office, SIGTERM: exited with $status"; exit 1; }
  processes_gone 2 "$work/soffice.pid" "$work/helper.pid" || { echo "office, SIGTERM: the converter outlived the program"; exit 1; }
  if [ -e "$work/desktop-calls" ]; then
    cat "$work/desktop-calls"; echo "office, SIGTERM: the document was handed to another program"; exit 1
  fi
  if grep -i "took longer\|was not converted\|cannot be shown" "$work/office-term.log"; then
    echo "office, SIGTERM: the program's end was told as a failure"; exit 1
  fi
  echo "ok: office, SIGTERM: gone $seconds s after it, the document handed to nobody, no time-out logged"

  office_start office-kill
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  processes_gone 2 "$work/soffice.pid" "$work/helper.pid" || { echo "office, kill -9: the converter outlived the program"; exit 1; }
  echo "ok: office, kill -9: the converter and its helper went with the program"
}

for name in $cases; do
  "${name}_case"
done
