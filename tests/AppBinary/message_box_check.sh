#!/usr/bin/env bash
# The message box a program shows before its window exists, on a real X display: drawn by the
# program itself (its own box and button colours, its own fonts), in English and in Chinese,
# waiting for the user until it is answered.
set -euo pipefail
virtual_display=$(cd "$(dirname "${BASH_SOURCE[0]}")/../Support" && pwd)/on_virtual_display.sh
app=$1
outdir=$2
mkdir -p "$outdir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf x > "$work/not-a-folder"

cat > "$work/show.sh" <<'SH'
#!/usr/bin/env bash
# Runs on the virtual display: starts the program, waits until its box shows, shoots the screen.
set -euo pipefail
app=$1 locale=$2 shot=$3 work=$4
BRIVANTA_HOME=$work/not-a-folder LANG=$locale LC_ALL=$locale LANGUAGE= SDL_VIDEODRIVER=x11 \
  "$app" > "$work/out" 2> "$work/err" &
pid=$!
for _ in $(seq 600); do
  kill -0 "$pid" 2>/dev/null || { echo "the program ended without waiting for an answer"; cat "$work/err"; exit 1; }
  import -window root "$shot" 2>/dev/null || true
  if [ -s "$shot" ] && /usr/bin/python3 - "$shot" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
button = sum(1 for p in im.getdata() if abs(p[0] - 30) < 8 and abs(p[1] - 90) < 8 and abs(p[2] - 160) < 8)
sys.exit(0 if button > 2000 else 1)
PY
  then
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    exit 0
  fi
  sleep 0.1
done
echo "no box of the program's own showed"; kill "$pid"; exit 1
SH
chmod +x "$work/show.sh"

for case in "C.UTF-8 en" "zh_CN.UTF-8 cn"; do
  set -- $case
  shot=$outdir/message-box-$2.png
  rm -f "$shot"
  "$virtual_display" "-screen 0 1024x768x24" "$work/show.sh" "$app" "$1" "$shot" "$work"
  # The box's text is drawn: dark ink inside the light box, over several lines.
  /usr/bin/python3 - "$shot" "$2" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
w, h = im.size
light = [(x, y) for y in range(0, h, 2) for x in range(0, w, 2) if all(abs(c - 242) < 4 for c in im.getpixel((x, y)))]
if not light:
    sys.exit("no box on the screen")
x0, x1 = min(p[0] for p in light), max(p[0] for p in light)
y0, y1 = min(p[1] for p in light), max(p[1] for p in light)
rows = set()
for y in range(y0, y1):
    for x in range(x0, x1):
        if sum(im.getpixel((x, y))) < 200:
            rows.add(y)
            break
if len(rows) < 30:
    sys.exit("%s: the message shows too little ink (%d rows)" % (sys.argv[2], len(rows)))
PY
done
echo "message box check passed"
