#!/usr/bin/env bash
# Installs what is missing, builds the default preset and runs every test with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default -j2 -LE soak
