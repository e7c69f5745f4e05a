#!/usr/bin/env bash
# Starts the application binary as a user would, headless and in a real SDL window on a virtual
# display, with scripts that check the welcome screen, take screenshots and log in to a demo
# tenant through its tile, then open the catalogue, choose a category and search it.
set -euo pipefail
app=$1
outdir=$2
mkdir -p "$outdir"
export BRIVANTA_HOME=$(mktemp -d)
script=$(mktemp)
trap 'rm -rf "$BRIVANTA_HOME" "$script"' EXIT
cat > "$script" <<EOF
waitfor "Preparing the demo data" 10
waitgone "Preparing the demo data" 60
expect "Log in"
expect "Create shortcut"
background
foreground
screenshot $outdir/welcome-headless.png
tap 340 666
waitfor "Home" 30
screenshot $outdir/demo-home-headless.png
tap 600 300
tap 442 735
waitfor "Lighting" 10
tap "Lighting"
expect "Arc Desk Lamp"
tap 410 20
type "lamp"
expect "Beacon Floor Lamp"
screenshot $outdir/demo-catalog-search-headless.png
EOF
rm -f "$outdir"/welcome-*.png "$outdir"/demo-home-*.png "$outdir"/demo-catalog-*.png
"$app" --headless --script "$script"
test -s "$outdir/welcome-headless.png"
test -s "$outdir/demo-home-headless.png"
test -s "$outdir/demo-catalog-search-headless.png"
# The launch wrote its settings.
grep -q "<key>App_version</key>" "$BRIVANTA_HOME/Library/Preferences/brivanta.plist"

# In a real window too, focusing a field tells the screen the keyboard comes, and it lifts.
printf 'waitfor "Log in" 10\nwaitgone "Preparing the demo data" 60\nscreenshot %s\ntap 508 289\nwait 0.6\nscreenshot %s\n' \
  "$outdir/welcome-window.png" "$outdir/welcome-window-keyboard.png" > "$script"
SDL_VIDEODRIVER=x11 xvfb-run -a -s "-screen 0 1280x1024x24" "$app" --script "$script"
test -s "$outdir/welcome-window.png"
/usr/bin/python3 - "$outdir/welcome-window.png" "$outdir/welcome-window-keyboard.png" <<'PY'
import sys
from PIL import Image
before, after = (Image.open(p).convert("RGB") for p in sys.argv[1:3])
# The login button's middle, 120 points higher once the keyboard is announced.
button = before.getpixel((420, 493))
moved = after.getpixel((420, 373))
if max(abs(a - b) for a, b in zip(button, moved)) > 24 or before.getpixel((420, 373)) == button:
    sys.exit("the welcome screen did not lift for the keyboard in the window: %r %r" % (button, moved))
PY
