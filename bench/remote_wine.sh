#!/usr/bin/env bash
# Remote command to frame on the wire for orva.exe under Wine: orva.exe on the emulated deck
# behind a Wine COM port, with both servers on, measured from Linux by
# `orva_bench_remote --connect` (the client and the emulator's transcript share CLOCK_MONOTONIC).
# Also checks what orva.exe listens on: with both ports set, each on 127.0.0.1 and ::1 and
# nothing else; with no remote key, nothing.
# Run by scripts/windows-test.sh, which sets WINEPREFIX and DISPLAY and wires the COM port:
#   bench/remote_wine.sh COMPORT TRANSCRIPT [samples]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
comport=$1
transcript=$2
samples=${3:-100}
build=$root/build/windows-cross
work=$build/stage/remote-bench
rm -rf "$work"

# Two ports nothing listens on now.
in_use() { ss -ltnH "( sport = :$1 )" | grep -q .; }
ports=()
for p in $(seq 19993 20093); do
  in_use "$p" || ports+=("$p")
  [ ${#ports[@]} -eq 2 ] && break
done
hyperdeck=${ports[0]} session=${ports[1]}

orva_pid=""
# Starts orva.exe in folder $1 with the settings in $2 and waits for its first poll reply.
start_orva() {
  mkdir -p "$1"
  printf '%b' "$2" >"$1/ORVASettings.txt"
  (cd "$1" && exec wine "$build/ui/win32/orva.exe") >"$1/wine.out" 2>&1 &
  orva_pid=$!
  for _ in $(seq 150); do
    grep -q "^Ready" "$1/ORVALog.txt" 2>/dev/null && return 0
    sleep 0.2
  done
  echo "orva.exe did not start"
  return 1
}
close_orva() {
  [ -n "$orva_pid" ] || return 0
  wine "$build/tests/orva-windriver.exe" close ORVA_v2 >/dev/null 2>&1 || true
  for _ in $(seq 150); do
    kill -0 "$orva_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill "$orva_pid" 2>/dev/null || true
  orva_pid=""
}
trap close_orva EXIT
# The listening sockets of this Wine prefix's programs as the system sees them: under Wine its
# wineserver holds them, and orva.exe is the one Windows program running in it.
wineserver_pid() {
  local p
  for p in $(pgrep wineserver); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$p"
  done | head -n1
}
listening() {
  sleep 1  # the servers open theirs just after "Ready"
  local ws
  ws=$(wineserver_pid)
  [ -n "$ws" ] || { echo "no wineserver for $WINEPREFIX" >&2; return 1; }
  ss -ltnpH | { grep "pid=$ws," || true; } | awk '{print $4}' | sort | tr '\n' ' '
}

start_orva "$work/off" "COMPort = $comport\r\nStopOnExit = NO\r\n"
now=$(listening)
close_orva
echo "orva.exe without remote keys listens on: ${now:-nothing}"
[ -z "$now" ] || { echo "FAILED: orva.exe listens without a remote key"; exit 1; }

start_orva "$work/on" \
  "COMPort = $comport\r\nStopOnExit = NO\r\nHyperDeckPort = $hyperdeck\r\nRemotePort = $session\r\n"
now=$(listening)
want=$(printf '%s\n' "127.0.0.1:$hyperdeck" "127.0.0.1:$session" "[::1]:$hyperdeck" \
  "[::1]:$session" | sort | tr '\n' ' ')
echo "orva.exe with both ports set listens on: $now"
[ "$now" = "$want" ] || { echo "FAILED: orva.exe should listen on $want"; exit 1; }

"$root/build/default/bench/orva_bench_remote" --connect "$hyperdeck" "$session" "$transcript" \
  "$samples"
