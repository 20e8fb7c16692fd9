#!/usr/bin/env bash
# Builds the Windows installer build/windows-cross/orva-setup-<version>.exe with NSIS from the
# cross build: orva.exe and orva-convert.exe (stripped), the man pages as text, the Windows
# user's guide (ui/win32/README-Windows.txt, installed as README.txt) and
# the sample settings. Needs the windows-cross build configured (scripts/windows-test.sh does
# it) and the Debian packages nsis and groff-base. Prints the installer's path.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows-cross
version=$(sed -n 's/^project(orva VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
cmake --build "$build" --target orva orva-convert >/dev/null

stage=$build/installer
rm -rf "$stage"
mkdir -p "$stage"
# Text files get the line ends Windows editors expect.
crlf() { sed 's/$/\r/'; }
x86_64-w64-mingw32-strip -o "$stage/orva.exe" "$build/ui/win32/orva.exe"
x86_64-w64-mingw32-strip -o "$stage/orva-convert.exe" "$build/edl/orva-convert.exe"
for page in orva orva-convert; do
  groff -man -Tascii -P-cbou "docs/man/$page.1" 2>/dev/null | crlf >"$stage/$page.txt"
done
# UTF-8 with a byte-order mark, so that every Notepad shows its accents.
{ printf '\xEF\xBB\xBF'; crlf <ui/win32/README-Windows.txt; } >"$stage/README.txt"
crlf <ui/win32/ORVASettings-sample.txt >"$stage/ORVASettings.txt"
cp ui/win32/orva.ico "$stage/"

out=$build/orva-setup-$version.exe
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out" ui/win32/orva.nsi >&2
echo "$out"
