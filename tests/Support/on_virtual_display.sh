#!/usr/bin/env bash
# Runs a command on a virtual X display of its own and exits with the command's status:
#
#   on_virtual_display.sh "-screen 0 1280x1024x24" COMMAND [ARGS...]
#
# The server picks a free display number itself and names it only once it takes connections, so
# checks running side by side never race for one number, and the command never starts before
# its display is there (both happened with a shell-chosen number on a loaded machine).
set -uo pipefail
read -ra server_args <<<"$1"
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/virtual-display.XXXXXX")
server=""
finish() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

Xvfb -displayfd 3 "${server_args[@]}" -nolisten tcp 3>"$work/number" >"$work/server.log" 2>&1 &
server=$!
# The number is written with its newline once the server listens; until then only its being
# alive matters, however long a busy machine takes to start it.
until grep -q '^[0-9][0-9]*$' "$work/number" 2>/dev/null; do
  if ! kill -0 "$server" 2>/dev/null; then
    wait "$server" 2>/dev/null
    server=""
    echo "the virtual display did not start:" >&2
    tail -n 20 "$work/server.log" >&2
    exit 1
  fi
  sleep 0.02
done
DISPLAY=:$(head -n 1 "$work/number") "$@"
