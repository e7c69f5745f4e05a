# Sourced by the binary checks that run against the local back end; needs $app (begin_road sets
# it). Sets $src and $work (removed at exit, KEEP_WORK=1 keeps it), and after start_backend
# $cport and $fport.
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# The checks' Python reads the back end's log through backend_log.py.
export PYTHONPATH=$src/tests/AppBinary${PYTHONPATH:+:$PYTHONPATH}
work=$(mktemp -d)
backend=""
trap '{ [ -n "$backend" ] && kill "$backend" 2>/dev/null; } || true; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT

# start_backend [server options]: the back end on free ports, its log in $work/backend.log.
start_backend() {
  # One back end at a time: the exit trap stops only the last, so an earlier one would outlive
  # the check.
  if [ -n "$backend" ]; then
    kill "$backend" 2>/dev/null || true
    wait "$backend" 2>/dev/null || true
    backend=""
  fi
  # A back end started before this one left its line there: read only the new one's.
  rm -f "$work/backend.out"
  /usr/bin/python3 "$src/tools/backend/server.py" --port 0 --file-port 0 --log-file "$work/backend.log" "$@" \
    > "$work/backend.out" 2>&1 &
  backend=$!
  # Its line whole, newline and all: a part of it would read as no ports.
  cport="" fport=""
  for _ in $(seq 1200); do
    read -r _ _ _ _ _ cport _ fport _ 2>/dev/null < "$work/backend.out" && break
    sleep 0.05
  done
  [ -n "${fport:-}" ] || { cat "$work/backend.out"; echo "the back end did not start"; exit 1; }
}

# begin_road APP OUTDIR [server options]: how a road check begins: $app and $outdir (made), and
# the back end started.
begin_road() {
  app=$1
  outdir=$2
  mkdir -p "$outdir"
  shift 2
  start_backend "$@"
}

# control JSON: the back end's control request (faults, resets), once $cport is known.
control() {
  /usr/bin/python3 -c '
import sys, urllib.request
request = urllib.request.Request("http://127.0.0.1:%s/__control" % sys.argv[1], data=sys.argv[2].encode(), method="POST")
urllib.request.urlopen(request, timeout=10).read()
' "$cport" "$1"
}

# prepare_home HOME: a fresh home (exported as BRIVANTA_HOME) pointed at the back end.
prepare_home() {
  export BRIVANTA_HOME=$1
  mkdir -p "$BRIVANTA_HOME"
  "$src/tools/backend/configure_home.py" --port "$cport" --file-port "$fport" \
    --bundle-info "$(dirname "$app")/Resources/Info.plist" "$BRIVANTA_HOME" > /dev/null
}

# run_app HOME SCRIPT: the script run headless in a fresh home; its output shown on failure.
run_app() {
  prepare_home "$1"
  "$app" --headless --script "$2" > "$work/app.log" 2>&1 || { tail -n 20 "$work/app.log"; return 1; }
}

# The script lines of the online login every road begins with.
login_lines() {
  cat <<'LINES'
waitfor "Preparing the demo data" 60
waitgone "Preparing the demo data" 60
tap 508 289
type alice
tap 508 341
type "s3cret!"
tap 508 393
type AcmeCo
LINES
}

# The next start's login: the form keeps the account and the company, not the password.
relogin_lines() {
  cat <<'LINES'
waitfor "Log in" 60
tap 508 341
type "s3cret!"
tap "Log in"
waitfor "Home" 60
LINES
}

# From Home, the Orders tab's list of unsubmitted orders; the first tap on the tab bar may only
# close the one-time hint.
unsubmitted_lines() {
  cat <<'LINES'
tap "Orders"
waitstill 30
waitfor "Orders" 30
tap "Orders"
waitstill 30
waitfor "Unsubmitted" 30
tap "Unsubmitted"
LINES
}

# The login, then a whole sync from the Sync tab.
synced_lines() {
  login_lines
  cat <<'LINES'
tap "Log in"
waitfor "Home" 60
tap "Sync"
tap "Get Updates"
waitgone "0%" 60
waitgone "remaining" 60
LINES
}

# A new order of one Chair One (fixture S) from the catalogue, then TEXT typed into the order
# editor's customer field: the list of customers it matches shows.
chair_order_lines() {
  cat <<LINES
tap "Catalog"
wait 1
waitfor "Chair One" 60
tap 416 239
wait 1
tap 560 105
wait 0.5
tap 514 137
wait 0.5
tap 763 260
wait 1
tap "Orders"
wait 1
waitfor "Chair One" 60
tap 220 113
wait 0.5
type "$1"
wait 1
LINES
}

# After a whole sync, a new order for NAME: its street STREET from the order editor's address
# popup, then its phone PHONE typed on the customer screen (all attributes, no address or
# contact rows). Positions: the order editor's address field, the customer detail's phone
# value in edit mode.
new_customer_lines() {
  synced_lines
  chair_order_lines "$1"
  cat <<LINES
tap 730 113
waitstill 30
type "$2"
tap 300 500
waitstill 30
tap "Save"
waitstill 30
tap "Add"
waitstill 30
tap "Customers"
waitstill 30
tap "Customers"
waitfor "$1" 30
tap "$1"
waitstill 30
tap "Edit"
waitstill 30
tap 800 270
waitstill 30
type "$3"
tap "Done"
waitstill 30
expect "$3"
LINES
}

# From Home, Submit All on the list of unsubmitted orders.
submit_all_lines() {
  unsubmitted_lines
  printf '%s\n' 'wait 1' 'tap "Submit All"'
}
