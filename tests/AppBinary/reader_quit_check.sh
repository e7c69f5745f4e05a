#!/usr/bin/env bash
# Quitting while the reader's thumbnails of a 72-page photo PDF are still being drawn: by
# SIGTERM, by closing the window, after leaving the reader and after logging out. Every run
# exits 0 with no sanitizer report, and each one checks that drawing was still under way when
# the quit (or the leaving) came. Usage: reader_quit_check.sh APP [RUNS]
set -euo pipefail
virtual_display=$(cd "$(dirname "${BASH_SOURCE[0]}")/../Support" && pwd)/on_virtual_display.sh
app=$1
runs=${2:-20}
modes=${3:-sigterm window leave logout}
work=$(mktemp -d)
pid=""
trap '{ [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; } || true; rm -rf "$work"' EXIT
export BRIVANTA_NETWORK=none
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

# Small photo pages: each thumbnail costs a real picture decoding, the whole file stays small.
/usr/bin/python3 - "$work/photos.pdf" <<'PY'
import sys
from PIL import Image, ImageDraw
pages = []
for i in range(72):
    img = Image.effect_noise((1200, 900), 40).convert("RGB")
    ImageDraw.Draw(img).rectangle([20 + i * 3, 20, 220 + i * 3, 220], fill=(200, (i * 7) % 255, 90))
    pages.append(img)
pages[0].save(sys.argv[1], save_all=True, append_images=pages[1:], resolution=72, quality=80)
PY

# A home with the demo data prepared, the seating guide replaced by the photo PDF.
cat > "$work/prepare.txt" <<'LINES'
waitfor "Preparing the demo data" 60
waitgone "Preparing the demo data" 60
wait 2
tap 340 666
waitfor "Home" 60
LINES
BRIVANTA_HOME=$work/template "$app" --headless --script "$work/prepare.txt" > "$work/prepare.log" 2>&1 \
  || { tail -n 20 "$work/prepare.log"; exit 1; }
guide=$(find "$work/template/Documents" -name seating_guide.pdf | head -n 1)
[ -n "$guide" ] || { echo "the demo data has no seating guide"; exit 1; }
cp "$work/photos.pdf" "$guide"

open_reader() {
  cat <<'LINES'
wait 1
tap 340 666
waitfor "Home" 60
tap "Library"
wait 1
tap "Seating Guide"
waitfor "1 of 72" 60
waitstill 10
LINES
}

# Waits until the first thumbnail is on disk: drawing has begun and most pages still wait.
wait_for_drawing() {
  local home=$1
  for _ in $(seq 1200); do
    find "$home/Library/Caches" -name '*.png' 2>/dev/null | grep -q . && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# Once the first thumbnail is on disk, sends the window the close request a window manager
# sends when its close button is pressed. Usage: close_window_when_drawing HOME APP_PID
close_window_when_drawing() {
  "$(dirname "$0")/close_window.py" "$2" "$1/Library/Caches/*/*.png" > /dev/null
}

check_log() {
  local log=$1 what=$2
  if grep -q "AddressSanitizer\|LeakSanitizer\|runtime error:\|corrupted\|double free" "$log"; then
    tail -n 60 "$log"; echo "$what: a memory error was reported"; exit 1
  fi
}

run_once() {
  local mode=$1 n=$2
  local home=$work/run-$mode-$n
  rm -rf "$home"
  cp -a "$work/template" "$home"
  local script=$work/$mode.txt log=$work/$mode-$n.log
  rm -f "$log.pid"
  case $mode in
    # The thumbnail grid asks for a page of large thumbnails on top of the page bar's.
    sigterm|window) { open_reader; echo 'tap 93 22'; echo 'waitfor "never shown" 120'; } > "$script" ;;
    leave) { open_reader; echo 'tap 37 22'; echo 'wait 1'; echo 'expect "My documents"'; } > "$script" ;;
    logout) { open_reader; echo 'tap 37 22'; echo 'wait 0.5'; echo 'tap "Home"'; echo 'wait 1'; echo 'longpress 95 728 1.5'; echo 'wait 1'; echo 'tap "Log Out"'; echo 'wait 1'; echo 'expect "Log in"'; } > "$script" ;;
  esac
  case $mode in
    sigterm|leave|logout)
      BRIVANTA_HOME=$home "$app" --headless --script "$script" > "$log" 2>&1 &
      pid=$! ;;
    window)
      BRIVANTA_HOME=$home SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1024x24" \
        bash -c '"$0" --script "$1" & app=$!; echo $app > "$2.pid"; wait $app' "$app" "$script" "$log" > "$log" 2>&1 &
      pid=$! ;;
  esac
  if [ "$mode" = sigterm ]; then
    wait_for_drawing "$home" || { tail -n 20 "$log"; echo "$mode run $n: no thumbnail was ever drawn"; exit 1; }
    kill -TERM "$pid"
  elif [ "$mode" = window ]; then
    for _ in $(seq 600); do [ -s "$log.pid" ] && break; sleep 0.05; done
    local env=/proc/$(cat "$log.pid")/environ
    for _ in $(seq 600); do tr '\0' '\n' < "$env" | grep -q '^DISPLAY=' && break; sleep 0.05; done
    DISPLAY=$(tr '\0' '\n' < "$env" | sed -n 's/^DISPLAY=//p') \
      XAUTHORITY=$(tr '\0' '\n' < "$env" | sed -n 's/^XAUTHORITY=//p') close_window_when_drawing "$home" "$(cat "$log.pid")" \
      || { tail -n 20 "$log"; echo "$mode run $n: the window was never closed"; exit 1; }
  fi
  local status=0
  wait "$pid" || status=$?
  pid=""
  check_log "$log" "$mode run $n"
  [ "$status" -eq 0 ] || { tail -n 30 "$log"; echo "$mode run $n exited with $status"; exit 1; }
  # The quit, or the leaving, found thumbnails that had not been drawn yet.
  case $mode in
    # A run whose quit came after every thumbnail was drawn proves nothing: it is run again.
    # Thumbnails the quit found queued, or fewer on disk than the pages: a quit that ends the
    # workers' waits at once may have emptied the queue before it was counted.
    sigterm|window) grep -q "stopped PdfThumbQueue: [1-9]" "$log" \
      || [ "$(find "$home/Library/Caches" -name '*.png' 2>/dev/null | wc -l)" -lt 72 ] \
      || { echo "$mode run $n: the quit came after every thumbnail was drawn; again"; return 2; } ;;
    leave|logout) grep -q "PdfThumbQueue: [1-9][0-9]* thumbnails of a closed document dropped" "$log" \
      || { echo "$mode run $n: the reader was left after every thumbnail was drawn; again"; return 2; } ;;
  esac
  rm -rf "$home"
}

for mode in $modes; do
  for n in $(seq "$runs"); do
    for try in $(seq 12); do
      status=0
      run_once "$mode" "$n" || status=$?
      [ "$status" -eq 0 ] && break
      [ "$status" -eq 2 ] && [ "$try" -lt 12 ] || { echo "$mode run $n never quit while thumbnails were drawn"; exit 1; }
    done
  done
  echo "ok: $runs runs quitting by $mode while thumbnails were drawn"
done
