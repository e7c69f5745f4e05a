#!/usr/bin/env bash
# Starts the application binary as a user would, headless and in a real SDL window on a virtual
# display, with scripts that check the welcome screen, take screenshots and log in to a demo
# tenant through its tile, then walk the catalogue: a category, the first tile's page, a colour
# and "Add to Order" there, back to the grid, a search and its first result. The catalogue walk
# runs once headless and once in the window.
set -euo pipefail
virtual_display=$(cd "$(dirname "${BASH_SOURCE[0]}")/../Support" && pwd)/on_virtual_display.sh
app=$1
outdir=$2
mkdir -p "$outdir"
export BRIVANTA_HOME=$(mktemp -d)
script=$(mktemp)
trap 'rm -rf "$BRIVANTA_HOME" "$script"' EXIT
cat > "$script" <<EOF
waitfor "Preparing the demo data" 60
waitgone "Preparing the demo data" 60
expect "Log in"
expect "Create shortcut"
background
foreground
screenshot $outdir/welcome-headless.png
EOF
# The catalogue walk; $1 names its screenshots. The first tile's picture, its colour list and
# first colour, the search bar and the first result.
catalogue_walk() {
  cat <<EOF
tap 340 666
waitfor "Home" 60
screenshot $outdir/demo-home-$1.png
tap 600 300
tap 442 735
waitfor "Lighting" 60
tap "Lighting"
expect "Arc Desk Lamp"
wait 1
screenshot $outdir/demo-catalog-category-$1.png
tap 347 129
wait 1
waitfor "Arc Desk Lamp  ( 1 / 3 )" 60
tap 695 514
wait 0.5
tap "Brass"
wait 0.5
tap "Add to Order"
wait 1
screenshot $outdir/demo-catalog-page-$1.png
tap "Back"
wait 1
screenshot $outdir/demo-catalog-back-$1.png
tap 410 20
type "lamp"
wait 1
waitfor "Beacon Floor Lamp" 60
screenshot $outdir/demo-catalog-search-$1.png
tap 420 95
wait 1
waitfor "Arc Desk Lamp" 60
screenshot $outdir/demo-catalog-result-$1.png
EOF
}
catalogue_walk headless >> "$script"
rm -f "$outdir"/welcome-*.png "$outdir"/demo-home-*.png "$outdir"/demo-catalog-*.png
"$app" --headless --script "$script"
test -s "$outdir/welcome-headless.png"
# The orders tab's badge is red once the page has added its product, and not before.
badge_added() {
  /usr/bin/python3 - "$outdir/demo-catalog-category-$1.png" "$outdir/demo-catalog-back-$1.png" <<'PY'
import sys
from PIL import Image
def red(path):
    im = Image.open(path).convert("RGB")
    return sum(1 for x in range(856, 884) for y in range(704, 730)
               if (lambda p: p[0] > 180 and p[1] < 110 and p[2] < 110)(im.getpixel((x, y))))
if red(sys.argv[1]) != 0 or red(sys.argv[2]) < 20:
    sys.exit("the orders tab's badge did not come with the add: %d, %d" % (red(sys.argv[1]), red(sys.argv[2])))
PY
}
for step in home catalog-category catalog-page catalog-back catalog-search catalog-result; do
  test -s "$outdir/demo-$step-headless.png"
done
badge_added headless
# The launch wrote its settings.
grep -q "<key>App_version</key>" "$BRIVANTA_HOME/Library/Preferences/brivanta.plist"

# In a real window no keyboard covers the screen: focusing a field leaves the form where it is.
printf 'waitfor "Log in" 60\nwaitgone "Preparing the demo data" 60\nscreenshot %s\ntap 508 289\nwait 0.6\nscreenshot %s\n' \
  "$outdir/welcome-window.png" "$outdir/welcome-window-keyboard.png" > "$script"
SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1024x24" "$app" --script "$script"
test -s "$outdir/welcome-window.png"
/usr/bin/python3 - "$outdir/welcome-window.png" "$outdir/welcome-window-keyboard.png" <<'PY'
import sys
from PIL import Image
before, after = (Image.open(p).convert("RGB") for p in sys.argv[1:3])
# The login button's middle stays put; nothing of it shows 120 points higher, where a
# tablet's keyboard would have lifted it.
button = before.getpixel((420, 493))
kept = after.getpixel((420, 493))
lifted = after.getpixel((420, 373))
if max(abs(a - b) for a, b in zip(button, kept)) > 24 or max(abs(a - b) for a, b in zip(button, lifted)) <= 24:
    sys.exit("the welcome screen moved for a keyboard the window does not have: %r %r %r" % (button, kept, lifted))
PY

# The catalogue walk in the window, in a fresh home.
rm -rf "$BRIVANTA_HOME" && mkdir -p "$BRIVANTA_HOME"
{ printf 'waitfor "Log in" 60\nwait 1\nwaitgone "Preparing the demo data" 60\nwait 0.5\n'; catalogue_walk window; } > "$script"
SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1024x24" "$app" --script "$script"
for step in category page back search result; do
  test -s "$outdir/demo-catalog-$step-window.png"
done
badge_added window
