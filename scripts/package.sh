#!/usr/bin/env bash
# Builds the Debian package of ORVA and prints its path. The build is RelWithDebInfo without
# tests and benchmarks (-O2: GCC 12 gives false -Wrestrict warnings in libstdc++ at -O3); cpack
# strips the programs.
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
