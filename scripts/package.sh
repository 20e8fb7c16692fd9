#!/usr/bin/env bash
# Builds the Debian package of ORVA (Release, without tests and benchmarks) and prints its path:
#   ./scripts/package.sh          # build/package/orva_<version>_<arch>.deb
#   sudo apt-get install ./build/package/orva_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset package >/dev/null
cmake --build --preset package
rm -f build/package/orva_*.deb
cpack --preset package >/dev/null
ls build/package/orva_*.deb
