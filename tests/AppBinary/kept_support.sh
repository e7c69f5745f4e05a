# Sourced by the checks that end the program while something is still being typed; needs $app,
# $work and $here. The running program's id is in $pid meanwhile, for the caller's exit trap.

virtual_display=$(cd "$(dirname "${BASH_SOURCE[0]}")/../Support" && pwd)/on_virtual_display.sh

# end_when_typed MODE SCRIPT HOME LOG WHAT: SCRIPT run in HOME until it has written
# $work/typed.png, then the program ended by closing its window under X (MODE window) or by
# SIGTERM (any other MODE). A failed exit sets $status; the check ends if WHAT was never typed
# or the window never closed.
end_when_typed() {
  local mode=$1 script=$2 home=$3 log=$4 what=$5
  if [ "$mode" = window ]; then
    BRIVANTA_HOME=$home SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1024x24" \
      bash -c '"$0" --script "$1" & app=$!; echo $app > "$2"; "$3" $app "$4" >> "$2.close" 2>&1; wait $app' \
      "$app" "$script" "$log.pid" "$here/close_window.py" "$work/typed.png" > "$log" 2>&1 &
    pid=$!
    wait "$pid" || status=$?
    grep -q "close requested" "$log.pid.close" 2>/dev/null || { cat "$log.pid.close" "$log" | tail -n 20; echo "$mode: the window was never closed"; exit 1; }
  else
    BRIVANTA_HOME=$home "$app" --headless --script "$script" > "$log" 2>&1 &
    pid=$!
    for _ in $(seq 2400); do [ -e "$work/typed.png" ] && break; kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    [ -e "$work/typed.png" ] || { tail -n 20 "$log"; echo "$mode: $what was never typed"; exit 1; }
    kill -TERM "$pid"
    wait "$pid" || status=$?
  fi
}

# ended_cleanly MODE LOG: after the program ended, with $status its exit status: the check ends
# unless it exited 0 with no memory error reported.
ended_cleanly() {
  local mode=$1 log=$2
  pid=""
  rm -f "$work/typed.png"
  if grep -q "AddressSanitizer\|LeakSanitizer\|runtime error:" "$log"; then
    tail -n 40 "$log"; echo "$mode: a memory error was reported"; exit 1
  fi
  [ "$status" -eq 0 ] || { tail -n 20 "$log"; echo "$mode: exited with $status"; exit 1; }
}

# prepare_demo HOME: HOME holds the demo data, unpacked by a first start that waits for the login.
prepare_demo() {
  cat > "$work/prepare.txt" <<'LINES'
waitfor "Preparing the demo data" 60
waitgone "Preparing the demo data" 60
waitfor "Log in" 60
LINES
  BRIVANTA_HOME=$1 "$app" --headless --script "$work/prepare.txt" > "$work/prepare.log" 2>&1 \
    || { tail -n 20 "$work/prepare.log"; exit 1; }
}
