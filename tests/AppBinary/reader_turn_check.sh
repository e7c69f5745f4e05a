#!/usr/bin/env bash
# The reader in the real binary, on the demo data and no network: the screen turns to portrait
# and back headless and in an SDL window on a virtual display (the library does not turn, and
# leaving the reader in portrait turns the window back); a run killed with SIGTERM while
# reading, headless or in a window, keeps the page it was on.
set -euo pipefail
virtual_display=$(cd "$(dirname "${BASH_SOURCE[0]}")/../Support" && pwd)/on_virtual_display.sh
app=$1
outdir=$2
mkdir -p "$outdir"
work=$(mktemp -d)
pid=""
trap '{ [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; } || true; rm -rf "$work"' EXIT
export BRIVANTA_NETWORK=none

# The demo box shows one turn after the screen: a second lets it show (in a window, where it may
# also have come and gone before the script starts), then the script waits for it to go.
open_reader() {
  cat <<'LINES'
wait 1
waitgone "Preparing the demo data" 60
wait 2
tap 340 666
waitfor "Home" 60
tap 715 735
wait 1
tap 715 735
wait 1
tap "Seating Guide"
waitfor "1 of" 60
waitstill 10
tap 1010 384
wait 1
waitfor "2 of" 60
LINES
}

# Headless: portrait and back, a page turned in portrait by its own right-hand strip.
{ open_reader; cat <<SCRIPT; } > "$work/turn.txt"
rotate portrait
expect "2 of 2"
tap 14 512
wait 1
waitfor "1 of 2" 60
tap 754 512
wait 1
waitfor "2 of 2" 60
screenshot $outdir/reader-turn-portrait.png
rotate landscape
screenshot $outdir/reader-turn-landscape.png
rotate portrait
tap 37 22
wait 1
screenshot $outdir/reader-turn-left-in-portrait.png
rotate portrait
screenshot $outdir/reader-turn-library.png
SCRIPT
BRIVANTA_HOME=$work/home "$app" --headless --script "$work/turn.txt" > "$work/turn.log" 2>&1 || { tail -n 20 "$work/turn.log"; exit 1; }

# The first page as it opens, before any frame: the screenshot shows the page bar's picture that
# the page's own drawing gives. The waits are the headless clock's (simulated time, which also
# waits for the document's opening off the main thread), not real sleeps: this order of them is
# the one that left the picture grey.
{ open_reader | sed '/^tap "Seating Guide"$/,$d'; cat <<SCRIPT; } > "$work/opened.txt"
tap "Seating Guide"
wait 2
waitfor "1 of" 60
waitstill 10
wait 5
screenshot $outdir/reader-turn-opened.png
SCRIPT
BRIVANTA_HOME=$work/opened "$app" --headless --script "$work/opened.txt" > "$work/opened.log" 2>&1 || { tail -n 20 "$work/opened.log"; exit 1; }

# The same, saved by --screenshot when the script ends, at pixel scale 2: as the script's own
# screenshot would be. The reader shows its pages a moment after it appears; `wait 1` moves the
# headless clock past that moment (simulated time, no sleep): no text marks it to wait for.
{ open_reader | sed '/^tap "Seating Guide"$/,$d'; cat <<SCRIPT; } > "$work/final.txt"
tap "Seating Guide"
waitfor "1 of" 60
waitstill 10
wait 1
SCRIPT
BRIVANTA_HOME=$work/final "$app" --headless --scale 2 --script "$work/final.txt" --screenshot "$outdir/reader-turn-final.png" \
  > "$work/final.log" 2>&1 || { tail -n 20 "$work/final.log"; exit 1; }

# SIGTERM while reading page 2: the run ends as closing the window does, the record is saved.
{ open_reader; cat <<SCRIPT; } > "$work/term.txt"
screenshot $work/reading.png
waitfor "never shown" 120
SCRIPT
BRIVANTA_HOME=$work/term "$app" --headless --script "$work/term.txt" > "$work/term.log" 2>&1 &
pid=$!
for _ in $(seq 1200); do [ -s "$work/reading.png" ] && break; kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
[ -s "$work/reading.png" ] || { tail -n 20 "$work/term.log"; echo "the reader never showed page 2"; exit 1; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || { tail -n 20 "$work/term.log"; echo "SIGTERM ended the run with status $status"; exit 1; }

# In a real window, the same turn comes from reshaping the window.
{ open_reader; cat <<SCRIPT; } > "$work/window.txt"
rotate portrait
screenshot $outdir/reader-turn-window-portrait.png
tap 37 22
wait 1
rotate portrait
screenshot $outdir/reader-turn-window-library.png
SCRIPT
BRIVANTA_HOME=$work/window SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1280x24" \
  "$app" --script "$work/window.txt" > "$work/window.log" 2>&1 || { tail -n 20 "$work/window.log"; exit 1; }

# SIGTERM in a real window too: the window's loop ends and the record is saved.
{ open_reader; cat <<SCRIPT; } > "$work/wterm.txt"
screenshot $work/wreading.png
waitfor "never shown" 120
SCRIPT
BRIVANTA_HOME=$work/wterm SDL_VIDEODRIVER=x11 "$virtual_display" "-screen 0 1280x1280x24" \
  "$app" --script "$work/wterm.txt" > "$work/wterm.log" 2>&1 &
pid=$!
for _ in $(seq 1200); do [ -s "$work/wreading.png" ] && break; kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
[ -s "$work/wreading.png" ] || { tail -n 20 "$work/wterm.log"; echo "the windowed reader never showed page 2"; exit 1; }
# The application on its virtual display: the newest process running this very script.
apppid=$(pgrep -n -f -- "^$app --script $work/wterm.txt" || true)
[ -n "$apppid" ] || { echo "the windowed application is not running"; exit 1; }
kill -TERM "$apppid"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || { tail -n 20 "$work/wterm.log"; echo "SIGTERM ended the windowed run with status $status"; exit 1; }

/usr/bin/python3 - "$outdir" "$work/term" "$work/wterm" <<'PY'
import glob, plistlib, sys
from PIL import Image
out, home, whome = sys.argv[1:4]
sizes = {
    "reader-turn-opened.png": (1024, 768), "reader-turn-final.png": (2048, 1536),
    "reader-turn-portrait.png": (768, 1024), "reader-turn-landscape.png": (1024, 768),
    "reader-turn-left-in-portrait.png": (1024, 768), "reader-turn-library.png": (1024, 768),
    "reader-turn-window-portrait.png": (768, 1024), "reader-turn-window-library.png": (1024, 768),
}
for name, size in sizes.items():
    got = Image.open(out + "/" + name).size
    if got != size:
        sys.exit("%s is %r, expected %r" % (name, got, size))
# The page bar's large picture is the shown page's (mostly paper), in a headless screenshot as in
# a window's frame: 32 x 42 points over the bar's middle.
# Page 1's picture sits at the track's start, page 2's at its end.
for name, page in (("reader-turn-opened.png", 1), ("reader-turn-final.png", 1), ("reader-turn-landscape.png", 2), ("reader-turn-portrait.png", 2),
                   ("reader-turn-window-portrait.png", 2)):
    im = Image.open(out + "/" + name).convert("RGB")
    k = sizes[name][0] // (1024 if sizes[name][0] in (1024, 2048) else 768)  # pixels a point
    w, h = im.size[0] // k, im.size[1] // k
    left = w // 2 - 23 if page == 1 else w // 2 + 23 - 32  # a track of two small pictures is 46 points wide, centred
    box = [im.getpixel((x * k, y * k)) for x in range(left + 3, left + 29) for y in range(h - 40, h - 6)]
    paper = sum(1 for p in box if min(p) >= 245)
    if paper < len(box) // 2:
        sys.exit("%s: the page bar's picture of the shown page is not drawn (%d of %d pixels paper)" % (name, paper, len(box)))
# Page 1 itself: the blue band at its head, in both headless pictures.
for name in ("reader-turn-opened.png", "reader-turn-final.png"):
    im = Image.open(out + "/" + name).convert("RGB")
    k = im.size[0] // 1024
    band = [im.getpixel((x * k, y * k)) for x in range(260, 760, 4) for y in range(90, 130, 2)]
    blue = sum(1 for r, g, b in band if b >= 100 and b >= r + 50)
    if blue < len(band) // 2:
        sys.exit("%s: page 1 is not drawn (%d of %d pixels of its head band are blue)" % (name, blue, len(band)))
for h in (home, whome):
    records = [plistlib.load(open(p, "rb")) for p in glob.glob(h + "/Library/Application Support/*.plist")]
    pages = [r.get("PageNumber") for r in records if "PageNumber" in r]
    if pages != [2]:
        sys.exit("expected the record under %s saved on page 2 at SIGTERM, found %r" % (h, pages))
print("ok: the reader turns, its page bar shows the page, the library stays landscape, SIGTERM keeps the page")
PY
