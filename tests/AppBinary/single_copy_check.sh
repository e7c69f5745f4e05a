#!/usr/bin/env bash
# One running copy per data folder: a copy started on a folder another copy runs on says so
# (in the folder's language, on stderr; in a window also in a message box) and exits without
# touching the folder, while the first goes on. Once the first has gone, a copy starts there.
set -euo pipefail
app=$1
work=$(mktemp -d)
first=
trap '[ -n "$first" ] && kill "$first" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

# What the first copy's folder holds: every file with its size and time.
listing() { find "$BRIVANTA_HOME" -type f -printf '%p %s %T@\n' | sort; }

check() { # $1 locale of the first copy, $2 words the second copy must print, $3 the demo box
  export BRIVANTA_HOME=$work/$1
  mkdir -p "$BRIVANTA_HOME"
  cat > "$work/first.script" <<SCRIPT
waitfor "$3" 60
waitgone "$3" 60
screenshot $work/first-$1.png
waitfor "this text is never shown" 600
SCRIPT
  LANG=$1 LC_ALL=$1 LANGUAGE= "$app" --headless --script "$work/first.script" > "$work/first-$1.log" 2>&1 &
  first=$!
  for _ in $(seq 600); do
    [ -s "$work/first-$1.png" ] && break
    kill -0 "$first" 2>/dev/null || { cat "$work/first-$1.log"; echo "the first copy stopped"; exit 1; }
    sleep 0.1
  done
  test -s "$work/first-$1.png"
  before=$(listing)
  # Headless, and as a window where no display can be had: both say it on stderr.
  for mode in --headless ""; do
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY "$app" $mode > "$work/second.out" 2> "$work/second.err" || status=$?
    if [ "$status" -ne 1 ] || ! grep -qF "$2" "$work/second.err" || ! grep -qF "$BRIVANTA_HOME" "$work/second.err"; then
      echo "second copy ($mode) exited $status and said:"; cat "$work/second.err"; exit 1
    fi
  done
  [ "$before" = "$(listing)" ] || { echo "the second copy changed the folder"; diff <(echo "$before") <(listing); exit 1; }
  kill -0 "$first" || { echo "the first copy did not survive the second"; exit 1; }
  kill -TERM "$first"
  wait "$first" || true
  first=
  # The folder is free again once the first copy has gone.
  "$app" --headless --script /dev/null
}

check C.UTF-8 "already running with this data folder" "Preparing the demo data"
check zh_CN.UTF-8 "本程序已在运行" "正在准备演示数据"
echo "single copy check passed"
