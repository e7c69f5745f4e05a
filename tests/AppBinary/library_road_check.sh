#!/usr/bin/env bash
# The library road through the application binary: log in against the local back end, sync,
# open the library tab, download a PDF from its card, read it, download a word-processing file
# and read it in the office viewer, download the demo video and play it to its end, and delete the PDF again from its card in "My documents"; then, on a fresh home with no network, open a demo PDF. What the back
# end saw is read from its log.
set -euo pipefail
source "$(dirname "$0")/backend_support.sh"
begin_road "$1" "$2" --fixture LIB

# The first tap on the tab bar may only close the one-time hint above the logo.
{ login_lines; cat <<SCRIPT; } > "$work/online.txt"
tap "Log in"
waitfor "Home" 60
tap "Sync"
tap "Get Updates"
waitfor "Completed" 60
waitgone "No record" 90
tap "Library"
wait 1
tap "Library"
wait 1
waitfor "Autumn catalogue" 60
screenshot $outdir/library-tab.png
tap "Autumn catalogue"
expect "Every chair and table of the autumn range, with prices."
screenshot $outdir/library-card.png
tap "Download"
waitgone "Downloading" 60
tap "Autumn catalogue"
waitfor "1 of 1" 60
waitstill 10
screenshot $outdir/library-reader.png
tap "Back"
wait 1
tap "Meeting notes"
tap "Download"
waitgone "Downloading" 60
tap "Meeting notes"
waitfor "Notes of the spring dealer meeting." 90
screenshot $outdir/library-office.png
tap "Back"
wait 1
tap "Demo video"
expect "A short demonstration"
tap "Download"
waitgone "Downloading" 60
tap "Demo video"
waitfor "-0:00" 60
screenshot $outdir/library-video-end.png
tap "Done"
wait 1
tap "My documents"
wait 1
screenshot $outdir/library-collection.png
tap 451 358
wait 1
waitfor "Open" 60
screenshot $outdir/library-collection-card.png
tap "Delete"
wait 1
screenshot $outdir/library-deleted.png
SCRIPT
run_app "$work/home" "$work/online.txt"
if [ -e "$work/home/Documents/acmeco/Pdf/cat.pdf" ]; then
  echo "the deleted document is still on disk"; exit 1
fi

cat > "$work/demo.txt" <<SCRIPT
waitfor "Preparing the demo data" 60
waitgone "Preparing the demo data" 60
tap 340 666
waitfor "Home" 60
tap 715 735
wait 1
tap 715 735
wait 1
tap "Seating Guide"
waitfor "1 of" 60
waitstill 10
screenshot $outdir/library-demo-reader.png
SCRIPT
BRIVANTA_NETWORK=none run_app "$work/demo-home" "$work/demo.txt"

/usr/bin/python3 - "$work/backend.log" <<'PY'
import json, sys
records = []
for line in open(sys.argv[1]):
    try:
        records.append(json.loads(line))
    except ValueError:
        pass
files = [r for r in records if isinstance(r, dict) and r.get("command") == "file" and "/library/pdf/cat.pdf" in r.get("request", "")]
if len(files) != 1:
    sys.exit("expected one download of cat.pdf, saw %d" % len(files))
videos = [r for r in records if isinstance(r, dict) and r.get("command") == "file" and "/library/vedio/demo.webm" in r.get("request", "")]
if len(videos) != 1:
    sys.exit("expected one download of demo.webm, saw %d" % len(videos))
notices = [r["parameters"].get("fileIds") for r in records if isinstance(r, dict) and r.get("command") == "519"]
if notices != ["42", "44", "502"]:
    sys.exit("expected one syncFileFinished for 42, then 44, then 502, saw %r" % notices)
PY
echo "library road: downloaded, read, played, deleted; demo PDF read offline"
