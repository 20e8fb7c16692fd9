#!/usr/bin/env bash
# Installs what is missing, builds, and starts ORVA in demo/ on the built-in deck emulator
# (COMPort = SIM), so the program drives a virtual 9-pin deck without any hardware.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target orva orva-decksim orva-convert
mkdir -p demo
if [ ! -f demo/ORVASettings.txt ]; then
  cat > demo/ORVASettings.txt <<'SETTINGS'
# ORVA demo settings: the built-in deck emulator stands in for a 9-pin tape deck.
COMPort = SIM
VCRType = VTR
UserNote = Demo
UseClipboard = NO
StopOnExit = YES
Verbose = NO
Initialize = YES
Finalize = YES
RECMode = Title
AutoChapter = NO
NameChapters = NO
FirstNameColumn = 1
LastNameColumn = 10
NameDelimiter = .
Optimize = NO
Filter = 2
SETTINGS
fi
cd demo
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" = "" ]; then
  echo "No display found: run it under a virtual one with  xvfb-run -a ./scripts/run.sh"
  exit 1
fi
echo "ORVA runs in $(pwd); its log is ORVALog.txt there."
exec ../build/default/app/orva "$@"
