#!/usr/bin/env bash
# Opens the demonstration screen in a real SDL window on a virtual X display, drives it with a
# script and checks that a screenshot was taken there.
set -euo pipefail
virtual_display=$(cd "$(dirname "${BASH_SOURCE[0]}")/../Support" && pwd)/on_virtual_display.sh
demo=$1
out=$2
script=$(mktemp)
trap 'rm -f "$script"' EXIT
cat > "$script" <<SCRIPT
expect "Row 1"
tap "Row 3"
expect "Selected Row 3"
screenshot $out
SCRIPT
rm -f "$out"
SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1024x24" "$demo" --script "$script"
test -s "$out"
