#!/usr/bin/env bash
# A login whose skin is four 7990 x 7990 pictures (a 16-bit logo, a high-dynamic-range home
# background, a GIF bottom bar, an RGB top bar), served by the local back end: the program's
# peak stays under BOUND_MB (0: not checked, for a sanitized build) and Home shows the bar the
# skin draws; the 16-bit logo and the HDR background are read row by row at the screen's size.
set -euo pipefail
app=$1
writer=$2
outdir=$3
bound_mb=$4
mkdir -p "$outdir"
source "$(dirname "$0")/backend_support.sh"

mkdir -p "$work/skin/SkinImages"
"$writer" "$work/skin/SkinImages" 7990
(cd "$work/skin" && /usr/bin/python3 -c '
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    for name in sorted(os.listdir("SkinImages")):
        z.write("SkinImages/" + name)
' "$work/skin.zip")
start_backend --skin-file "$work/skin.zip"

# Each wait runs until the pictures still decoding have arrived, at most 30 s (a slow build).
{ login_lines; cat <<SCRIPT; } > "$work/login.txt"
tap "Log in"
waitfor "Home" 60
wait 1
wait 1
screenshot $outdir/large-skin-home.png
SCRIPT
prepare_home "$work/home"
# The peak resident size of the program, as the system counted it when it ended.
peak_kb=$(/usr/bin/python3 - "$app" "$work/login.txt" "$work/app.log" <<'PY'
import resource, subprocess, sys
with open(sys.argv[3], "w") as log:
    code = subprocess.call([sys.argv[1], "--headless", "--script", sys.argv[2]], stdout=log, stderr=subprocess.STDOUT)
if code != 0:
    sys.exit("the program ended with %d" % code)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
PY
) || { tail -n 20 "$work/app.log"; exit 1; }
echo "peak of the program over the login: $((peak_kb / 1024)) MB"
if [ "$bound_mb" -gt 0 ] && [ "$peak_kb" -ge $((bound_mb * 1024)) ]; then
  echo "the login's peak passed $bound_mb MB"; exit 1
fi
if grep -q "homelogo.png is left out\|bg-home.png is left out" "$work/app.log"; then
  echo "a deep skin picture was left out"; exit 1
fi

/usr/bin/python3 - "$outdir/large-skin-home.png" <<'PY'
import struct, sys, zlib

def read_png(path):
    data = open(path, "rb").read()
    pos, chunks, head = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            head = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks += body
        pos += 12 + length
    width, height, depth, colour = head[:4]
    if depth != 8 or colour not in (2, 6):
        sys.exit("%s: unexpected PNG kind %r" % (path, head))
    step = 4 if colour == 6 else 3
    raw, stride = zlib.decompress(chunks), width * step
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b, c = prev[i], (prev[i - step] if i >= step else 0)
            if kind == 1: line[i] = (line[i] + a) & 255
            elif kind == 2: line[i] = (line[i] + b) & 255
            elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, lambda x, y: tuple(rows[y][x * step:x * step + 3])

width, height, pixel = read_png(sys.argv[1])
scale = width // 1024
# The bottom bar: the GIF's palette puts green at 255 less red, and blue at half the red.
bar = [pixel(x * scale, y * scale) for y in range(704, 768, 4) for x in range(240, 1024, 4)]
gif = sum(1 for r, g, b in bar if abs(g - (255 - r)) <= 8 and abs(b - r // 2) <= 8)
if gif < len(bar) * 0.6:
    sys.exit("the bottom bar is not the skin's: %d of %d pixels have its colours" % (gif, len(bar)))
# The home background: the skin's, not black.
back = [pixel(x * scale, y * scale) for y in range(200, 600, 20) for x in range(300, 1000, 20)]
dark = sum(1 for p in back if max(p) < 16)
if dark > len(back) * 0.5:
    sys.exit("the home background is black: %d of %d pixels" % (dark, len(back)))
print("ok: the skin's bar and background are drawn")
PY
