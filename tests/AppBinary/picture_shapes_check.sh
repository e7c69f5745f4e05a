#!/usr/bin/env bash
# Pictures of unusual but sound shapes, and one of none, through the program against the local
# back end: product pictures that are an animated GIF optimised to what changes (its first
# frame only the part its content covers) and a GIF trimmed to its content keeping its place
# draw in the catalogue and on the product page; a GIF of 10,000 frames none of which has a
# pixel shows the default picture, with one log line however many screens show it, refused
# from its bytes: its road's peak stays within MARGIN_MB (third argument; 0: not checked, for a
# sanitized build) of the sound pictures' road; a home background JPEG lacking only its closing
# marker shows on Home.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
# Each road starts a back end of its own with its pictures.
app=$1
outdir=$2
mkdir -p "$outdir"
margin_mb=${3:-0}
command -v convert > /dev/null || { echo "ImageMagick's convert is needed to make the pictures"; exit 1; }

pictures=$work/pictures
mkdir -p "$pictures/skin/SkinImages"
# A red block over a clear screen, then a blue patch moving over it.
convert -size 200x150 xc:none \
  \( -clone 0 -fill red -draw 'rectangle 40,30 160,120' \) \
  \( -clone 0 -fill red -draw 'rectangle 40,30 160,120' -fill blue -draw 'rectangle 60,50 90,80' \) \
  \( -clone 0 -fill red -draw 'rectangle 40,30 160,120' -fill blue -draw 'rectangle 100,50 130,80' \) \
  -delete 0 -set delay 20 -loop 0 -layers optimize "$pictures/optimised.gif"
# A blue disc, the clear screen around it cut away, its place on the screen kept.
convert -size 300x200 xc:none -fill blue -draw 'circle 150,100 150,150' -trim "$pictures/trimmed.gif"
/usr/bin/python3 - "$pictures" <<'PY'
import subprocess, sys
folder = sys.argv[1]
# Both keep a first frame smaller than their screen, or the check would not try that shape.
for name in ("optimised", "trimmed"):
    first = subprocess.check_output(["identify", "-format", "%W %H %w %h\n", folder + "/" + name + ".gif"], text=True)
    screen_w, screen_h, w, h = map(int, first.splitlines()[0].split())
    if w >= screen_w and h >= screen_h:
        sys.exit("%s.gif: its first frame covers its whole screen" % name)
# 10,000 frames over the whole of a 7990 x 7990 screen, each with no picture data.
side = (7990).to_bytes(2, "little")
gif = bytearray(b"GIF89a" + side + side + bytes([0xF0, 0, 0]))
gif += bytes([0, 0, 0, 255, 255, 255])
gif += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
for _ in range(10000):
    gif += bytes([0x21, 0xF9, 4, 0x04, 2, 0, 0, 0])
    gif += b"\x2c\x00\x00\x00\x00" + side + side + b"\x00"
    gif += bytes([2, 0])
gif += b"\x3b"
open(folder + "/no-pixels.gif", "wb").write(bytes(gif))
PY
# A green home background whose file lacks its last two bytes, the closing marker.
convert -size 2048x1404 gradient:'#30c060-#107030' -quality 90 "$pictures/background.jpg"
/usr/bin/python3 - "$pictures/background.jpg" "$pictures/skin/SkinImages/bg-home.png" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
if data[-2:] != b"\xff\xd9":
    sys.exit("the background does not end with its closing marker")
open(sys.argv[2], "wb").write(data[:-2])
PY
(cd "$pictures/skin" && /usr/bin/python3 -c '
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    z.write("SkinImages/bg-home.png")
' "$pictures/skin.zip")

# run_measured HOME SCRIPT: as run_app, and the program's peak resident size in KB as the
# system counted it when it ended, in $peak_kb.
run_measured() {
  prepare_home "$1"
  peak_kb=$(/usr/bin/python3 - "$app" "$2" "$work/app.log" <<'PY'
import resource, subprocess, sys
with open(sys.argv[3], "w") as log:
    code = subprocess.call([sys.argv[1], "--headless", "--script", sys.argv[2]], stdout=log, stderr=subprocess.STDOUT)
if code != 0:
    sys.exit("the program ended with %d" % code)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
PY
) || { tail -n 20 "$work/app.log"; return 1; }
}

# The catalogue, then each product's page from its picture in the grid.
road_lines() {
  synced_lines
  cat <<SCRIPT
tap "Home"
waitstill 30
wait 1
wait 1
screenshot $outdir/picture-shapes-$1-home.png
tap "Catalog"
wait 1
waitfor "Chair One" 60
waitstill 30
wait 1
wait 1
screenshot $outdir/picture-shapes-$1-catalog.png
tap 347 128
waitfor "Back" 60
waitstill 30
wait 1
wait 1
screenshot $outdir/picture-shapes-$1-chair.png
SCRIPT
}

# The sound shapes as the chair's and the table's pictures (their thumbnails too).
start_backend --skin-file "$pictures/skin.zip" \
  --picture-file "ch1*=$pictures/optimised.gif" --picture-file "tb1*=$pictures/trimmed.gif"
{ road_lines sound; cat <<SCRIPT; } > "$work/sound.txt"
tap "Back"
waitfor "Table One" 60
tap 540 128
waitfor "Back" 60
waitstill 30
wait 1
wait 1
screenshot $outdir/picture-shapes-sound-table.png
SCRIPT
rm -f "$outdir"/picture-shapes-*.png
run_measured "$work/home-sound" "$work/sound.txt"
cp "$work/app.log" "$work/sound.log"
sound_kb=$peak_kb

# The picture of no pixels as the chair's; its page, then the viewer from its picture.
start_backend --skin-file "$pictures/skin.zip" --picture-file "ch1.jpg=$pictures/no-pixels.gif"
{ road_lines none; cat <<SCRIPT; } > "$work/none.txt"
tap 300 350
wait 1
waitstill 30
wait 1
wait 1
screenshot $outdir/picture-shapes-none-viewer.png
SCRIPT
run_measured "$work/home-none" "$work/none.txt"
cp "$work/app.log" "$work/none.log"
echo "peak of the road: $((sound_kb / 1024)) MB with sound pictures, $((peak_kb / 1024)) MB with the GIF of no pixels"
if [ "$margin_mb" -gt 0 ] && [ "$peak_kb" -ge $((sound_kb + margin_mb * 1024)) ]; then
  echo "the GIF of no pixels cost more than $margin_mb MB beyond the sound pictures' road"; exit 1
fi

/usr/bin/python3 - "$outdir" "$work/sound.log" "$work/none.log" <<'PY'
import sys
from PIL import Image
out, sound_log, none_log = sys.argv[1:4]
failures = []

def shot(name):
    return Image.open("%s/picture-shapes-%s.png" % (out, name)).convert("RGB")

def share(image, box, test):
    pixels = list(image.crop(box).getdata())
    return sum(1 for p in pixels if test(p)) / len(pixels)

red = lambda p: p[0] > 200 and p[1] < 60 and p[2] < 60
blue = lambda p: p[2] > 200 and p[0] < 60 and p[1] < 60
green = lambda p: p[1] > 90 and p[1] > p[0] + 40 and p[1] > p[2] + 20

# The grid's cells of the chair and the table; around the middle of a product page's picture
# and of the viewer's.
chair_cell, table_cell = (287, 84, 407, 174), (480, 84, 600, 174)
page, viewer = (240, 230, 400, 370), (432, 314, 592, 454)
sound = {name: shot("sound-" + name) for name in ("home", "catalog", "chair", "table")}
if share(sound["catalog"], chair_cell, red) < 0.2:
    failures.append("the optimised GIF is not drawn in the catalogue")
if share(sound["catalog"], table_cell, blue) < 0.1:
    failures.append("the trimmed GIF is not drawn in the catalogue")
if share(sound["chair"], page, red) < 0.2:
    failures.append("the optimised GIF is not drawn on its product page")
if share(sound["table"], page, blue) < 0.1:
    failures.append("the trimmed GIF is not drawn on its product page")
# Home's background: the skin's green, not the application's own.
if share(sound["home"], (300, 150, 1000, 650), green) < 0.5:
    failures.append("the home background lacking its closing marker is not shown")
for line in open(sound_log):
    if line.startswith("Image: ") or "is left out" in line:
        failures.append("a sound picture was refused: " + line.strip())

# The default picture, not an empty area: something is drawn where the picture goes.
none = {name: shot("none-" + name) for name in ("chair", "viewer")}
inked = lambda p: max(p) < 235 or max(p) - min(p) > 24
for name, box in (("chair", page), ("viewer", viewer)):
    if share(none[name], box, inked) < 0.05:
        failures.append("the GIF of no pixels leaves an empty area (%s), not the default picture" % name)
lines = [line.strip() for line in open(none_log) if line.startswith("Image: ") or "is left out" in line]
if len(lines) != 1 or "ch1.jpg" not in lines[0] or "no pixels" not in lines[0]:
    failures.append("the GIF of no pixels left %d log lines, not one naming it: %r" % (len(lines), lines))
if failures:
    sys.exit("\n".join(failures))
print("ok: the optimised and trimmed GIFs and the background lacking its marker are drawn; "
      "the GIF of no pixels shows the default picture with one log line")
PY
