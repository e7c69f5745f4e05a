#!/usr/bin/env bash
# Starts the application binary as a user would, headless and in a real SDL window on a virtual
# display, with a script that checks the welcome screen and takes a screenshot.
set -euo pipefail
app=$1
outdir=$2
mkdir -p "$outdir"
export BRIVANTA_HOME=$(mktemp -d)
script=$(mktemp)
trap 'rm -rf "$BRIVANTA_HOME" "$script"' EXIT
printf 'expect "Brivanta"\nbackground\nforeground\nscreenshot %s\n' "$outdir/welcome-headless.png" > "$script"
rm -f "$outdir"/welcome-*.png
"$app" --headless --script "$script"
test -s "$outdir/welcome-headless.png"
# The launch wrote its settings.
grep -q "<key>App_version</key>" "$BRIVANTA_HOME/Library/Preferences/brivanta.plist"

printf 'expect "Brivanta"\nscreenshot %s\n' "$outdir/welcome-window.png" > "$script"
SDL_VIDEODRIVER=x11 xvfb-run -a -s "-screen 0 1280x1024x24" "$app" --script "$script"
test -s "$outdir/welcome-window.png"
