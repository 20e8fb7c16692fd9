#!/usr/bin/env bash
# Redraws the Windows screenshots in docs/ under Wine: the control window of a 9-pin tape deck,
# the logger with drop-frame clips and the converter with a converted fixture, at 96 dpi
# (docs/win32-*.png) and at 120 dpi (docs/win32-*-120dpi.png). The window text test
# (tests/win32/textfit_test.cpp) draws them, with the texts it has just checked, and saves them
# as BMP files; Python's zlib makes the PNG files.
#   scripts/windows-screenshots.sh
# Needs the Windows build and its Wine prefix (scripts/windows-test.sh makes both); builds the
# test when it is missing. Runs its own Xvfb, large enough for the windows at 144 dpi too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows-cross
[ -f "$build/build.ninja" ] || { echo "no Windows build: run scripts/windows-test.sh first"; exit 1; }
cmake --build "$build" --target win32_textfit_test
command -v python3 >/dev/null || { echo "python3 is needed for the PNG files"; exit 1; }

export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shots=$build/screenshots
rm -rf "$shots"
mkdir -p "$shots"
display_file=$shots/xvfb-display
xvfb_pid=""
cleanup() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1 || true
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
[ -s "$display_file" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$display_file")
wine wineboot </dev/null >/dev/null 2>&1 || true

for dpi in 96 120; do
  # Wine reads the dpi once per process, from the registry.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  ORVA_TEST_DPI=$dpi ORVA_SCREENSHOT_DIR=$(winepath -w "$shots") \
    wine "$build/tests/win32_textfit_test.exe" >"$shots/test-$dpi.log" 2>&1 ||
    { cat "$shots/test-$dpi.log"; exit 1; }
done

python3 - "$shots" "$root/docs" <<'EOF'
import os, struct, sys, zlib

shots, docs = sys.argv[1], sys.argv[2]

def png(bmp_path, png_path):
    data = open(bmp_path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 24
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        src = y if height < 0 else height - 1 - y  # BMP rows run bottom-up
        row = data[offset + src * stride: offset + src * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]  # BGR to RGB
        rows.append(b"\0" + bytes(rgb))
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    out = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
    open(png_path, "wb").write(out)

for name in sorted(os.listdir(shots)):
    if not name.endswith("dpi.bmp"):
        continue
    stem = name[:-len(".bmp")]
    if stem.endswith("-96dpi"):
        stem = stem[:-len("-96dpi")]
    png(os.path.join(shots, name), os.path.join(docs, stem + ".png"))
    print("docs/" + stem + ".png")
EOF
