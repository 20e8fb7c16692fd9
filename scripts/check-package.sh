#!/usr/bin/env bash
# Installs the given orva package on this machine (over an installed one, whatever its version)
# and checks the installed files: the programs run from /usr/bin, the man page is found, the
# desktop entry and the AppStream metainfo validate, and orva-convert converts a fixture.
#   ./scripts/check-package.sh build/package/orva_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 1 ] && [ -f "$1" ] || { echo "usage: $0 PACKAGE.deb" >&2; exit 2; }
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
apt_get() {
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get -y -qq -o DPkg::Lock::Timeout=300 "$@"
}

missing=()
for p in desktop-file-utils appstream man-db; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt_get update
  apt_get install --no-install-recommends "${missing[@]}"
fi
apt_get install --reinstall --allow-downgrades "$deb" >/dev/null

fixture=$PWD/tests/fixtures/edl/cmx-lf.edl
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # no ORVASettings.txt here: the programs start from their defaults
for p in orva orva-convert orva-decksim; do
  [ "$(command -v $p)" = /usr/bin/$p ] || { echo "$p is not /usr/bin/$p" >&2; exit 1; }
done
/usr/bin/orva --version
/usr/bin/orva --help >/dev/null
/usr/bin/orva-convert --help >/dev/null
/usr/bin/orva-decksim --help >/dev/null
man -w orva >/dev/null
man -w orva-convert
man -w orva-decksim >/dev/null
desktop-file-validate /usr/share/applications/org.orva.orva.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.orva.orva.metainfo.xml
/usr/bin/orva-convert --no-ini --no-fnl "$fixture" converted.edl
head -n 1 converted.edl | grep -q '^PIONEER-DVDRec-EDL 002' || { echo "no list header" >&2; exit 1; }
recs=$(grep -c ' REC ' converted.edl)
[ "$recs" -eq 9 ] || { echo "converted.edl holds $recs REC lines, not 9" >&2; exit 1; }
echo "package checked: $(dpkg-query -W -f='${Package} ${Version}' orva), fixture converted ($recs REC)"
