#!/usr/bin/env bash
# Makes ui/win32/orva.ico, the Windows program's icon, from ui/orva.svg: 16, 24, 32, 48 and 64
# pixel images and a 256 pixel PNG image in one icon file. Run it after changing the SVG and
# commit the result (needs the Debian packages librsvg2-bin and icoutils).
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
small=()
for size in 16 24 32 48 64; do
  rsvg-convert -w "$size" -h "$size" ui/orva.svg -o "$tmp/$size.png"
  small+=("$tmp/$size.png")
done
rsvg-convert -w 256 -h 256 ui/orva.svg -o "$tmp/256.png"
icotool -c -o ui/win32/orva.ico "${small[@]}" --raw="$tmp/256.png"
echo "ui/win32/orva.ico: $(stat -c %s ui/win32/orva.ico) bytes"
