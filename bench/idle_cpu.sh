#!/usr/bin/env bash
# CPU time of the real orva under Xvfb while it polls a stopped tape deck on orva-decksim.
#
#   bench/idle_cpu.sh [BUILD_DIR] [SECONDS] [WARMUP]   (defaults: build/default 30 10)
#
# Starts orva-decksim --deck vtr on a pseudo-terminal, writes settings for it in a temporary
# folder, starts orva there under xvfb-run, lets it settle for WARMUP seconds and then sums the
# on-CPU time of all its threads (/proc/PID/task/*/schedstat, nanoseconds) over SECONDS.
# Prints the total, its share of one core, and each thread's part.
set -euo pipefail
build=$(realpath "${1:-build/default}")
seconds=${2:-30}
warmup=${3:-10}
work=$(mktemp -d)
sim=""
orva=""
cleanup() {
  [ -n "$orva" ] && kill "$orva" 2>/dev/null || true
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$build/sim/orva-decksim" --deck vtr > "$work/pty" &
sim=$!
for _ in $(seq 100); do [ -s "$work/pty" ] && break; sleep 0.1; done
printf 'COMPort = %s\nVCRType = VTR\nUseClipboard = NO\nStopOnExit = NO\nVerbose = NO\n' \
  "$(head -1 "$work/pty")" > "$work/ORVASettings.txt"
cd "$work"
xvfb-run -a sh -c 'echo $$ > orva.pid; exec "$0"' "$build/app/orva" > /dev/null 2>&1 &
for _ in $(seq 100); do [ -s orva.pid ] && break; sleep 0.1; done
orva=$(cat orva.pid)
sleep "$warmup"

threads() { for t in /proc/"$1"/task/*; do echo "$(basename "$t") $(cat "$t/comm") $(cut -d' ' -f1 "$t/schedstat")"; done; }
threads "$orva" > before.txt
sleep "$seconds"
threads "$orva" > after.txt
join before.txt after.txt | awk -v s="$seconds" '
  { d = ($5 - $3) / 1e9; total += d; printf "  thread %-16s %.3f s\n", $2, d }
  END { printf "orva: %.3f s of CPU in %d s = %.3f %% of a core (%.3f s per 30 s)\n",
               total, s, 100 * total / s, 30 * total / s }'
