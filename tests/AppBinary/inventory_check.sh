#!/usr/bin/env bash
# The inventory tab through the application binary: log in to the demo tenant through its
# tile, open the tab, open the first row's product page from its picture and come back.
set -euo pipefail
app=$1
outdir=$2
mkdir -p "$outdir"
export BRIVANTA_HOME=$(mktemp -d)
script=$(mktemp)
trap 'rm -rf "$BRIVANTA_HOME" "$script"' EXIT
# The first tap on the tab bar may only close the one-time hint above the logo.
cat > "$script" <<SCRIPT
waitfor "Preparing the demo data" 60
waitgone "Preparing the demo data" 60
tap 340 666
waitfor "Home" 60
tap "Inventory"
wait 1
tap "Inventory"
wait 1
waitfor "Product Name" 60
expect "Quantity"
wait 1
screenshot $outdir/inventory-table-first.png
tap 205 145
wait 1
waitfor "Back" 60
expect "TX-CH-101"
screenshot $outdir/inventory-page.png
tap "Back"
wait 1
waitfor "Product Name" 60
screenshot $outdir/inventory-table.png
SCRIPT
rm -f "$outdir"/inventory-*.png
"$app" --headless --script "$script"
for shot in inventory-table-first inventory-page inventory-table; do
  test -s "$outdir/$shot.png"
done
