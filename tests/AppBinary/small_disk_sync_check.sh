#!/usr/bin/env bash
# A sync of the medium catalogue into a 230 MB disk, one product picture served as 240 MB: the
# picture cannot fit and fails alone; every other file arrives in the same sync (at most the two
# downloads beside the picture may miss), and the message is the one for files that could not be
# downloaded (they will be fetched at the next sync), not the full disk's. The disk is a memory disk in a mount namespace of the check's
# own; where none may be made, the check says why and is skipped.
set -euo pipefail
if [ -z "${BRIVANTA_SMALL_DISK_NAMESPACE:-}" ]; then
  if ! why=$(unshare -m --propagation private true 2>&1); then
    echo "skipped: no private mount namespace here: $why"
    exit 77
  fi
  BRIVANTA_SMALL_DISK_NAMESPACE=1 exec unshare -m --propagation private "$0" "$@"
fi
source "$(dirname "$0")/backend_support.sh"
big=g03000_0.jpg
home=$work/home
mkdir -p "$home"
if ! why=$(mount -t tmpfs -o size=230m tmpfs "$home" 2>&1); then
  echo "skipped: no memory disk may be mounted here: $why"
  exit 77
fi
trap '{ [ -n "$backend" ] && kill "$backend" 2>/dev/null; } || true; umount "$home" 2>/dev/null || true
      [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
head -c 240000000 /dev/zero > "$work/big.jpg"
begin_road "$1" "$2" --fixture M --picture-file "$big=$work/big.jpg"

{ login_lines; cat <<SCRIPT; } > "$work/sync.txt"
tap "Log in"
waitfor "Home" 120
tap "Sync"
tap "Get Updates"
waitfor "They will be fetched at the next sync" 900
wait 1
screenshot $outdir/sync-small-disk.png
SCRIPT
run_app "$home" "$work/sync.txt"
/usr/bin/python3 - "$home/Documents/acmeco" "$big" <<'PY'
import os, sqlite3, sys
client, big = sys.argv[1], sys.argv[2]
db = sqlite3.connect(os.path.join(client, "brivanta_lite.sqlite"))
wanted = set()
for full, thumb in db.execute("SELECT image_full_address, image_thumb_address FROM brivanta_image WHERE image_publis = 1"):
    wanted |= {("ProductImages", n) for n in (full, thumb) if n}
wanted |= {("ConfigImages", n) for (n,) in db.execute("SELECT name FROM brivanta_icon") if n}
wanted |= {("LibraryImages", n) for (n,) in db.execute(
    "SELECT DISTINCT cover_image FROM brivanta_library_files WHERE published = 1 AND cover_image != ''") if n}
missing = sorted(n for folder, n in wanted if not os.path.exists(os.path.join(client, folder, n)))
print("%d of %d files missing: %s" % (len(missing), len(wanted), missing[:10]))
if big not in missing:
    sys.exit("the picture larger than the disk was taken")
if len(missing) > 3:
    sys.exit("more than the big picture and the two downloads beside it are missing")
print("ok: the big picture failed alone")
PY
