#!/usr/bin/env bash
# Window tests of the Windows program under Wine, on the display in DISPLAY (an Xvfb the
# Windows stage starts). Run by scripts/windows-test.sh, which sets WINEPREFIX, builds
# build/windows-cross and wires a Wine COM port to orva-decksim:
#   scripts/windows-gui-test.sh COMPORT TRANSCRIPT [INSTALLER]
# COMPORT is the Wine port name (COM20), TRANSCRIPT the emulator's transcript on this machine.
# Each case runs orva.exe in a fresh working folder with its own settings; the checks wait on
# conditions with deadlines. New window tests are functions named case_* that take the run's
# folder and transcript mark; list them in the hooks below.
# With an installer, the installed program is also started through its Start-menu shortcuts,
# as a user starts it (start_menu_cases).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
comport=$1
transcript=$2
installer=${3:-}
build=$root/build/windows-cross
orva_exe=$build/ui/win32/orva.exe
driver() { wine "$build/tests/orva-windriver.exe" "$@"; }
work=$build/stage/gui
rm -rf "$work"
mkdir -p "$work"
fails=0
fail() {
  echo "FAILED: $*"
  fails=$((fails + 1))
}
title=ORVA_v2

# Waits up to $1 seconds for the command after it to succeed.
eventually() {
  local deadline=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}
transcript_lines() { wc -l <"$transcript"; }
# Frames the deck received after line $1 of the transcript, as "20 00 20" etc.
frames_since() { tail -n +"$(($1 + 1))" "$transcript" | sed -n 's/^[0-9]* IN //p'; }
count_frames_since() { frames_since "$1" | grep -cx "$2" || true; }

# Starts orva.exe (or $ORVA_EXE) in folder $1 with COMPort $2; sets orva_pid.
start_orva() {
  local dir=$1 port=$2 exe=${3:-$orva_exe}
  mkdir -p "$dir"
  [ -f "$dir/ORVASettings.txt" ] || printf 'COMPort = %s\r\nStopOnExit = YES\r\n' "$port" >"$dir/ORVASettings.txt"
  (cd "$dir" && exec wine "$exe") >"$dir/wine.out" 2>&1 &
  orva_pid=$!
}
# Closes the window as its close box does and waits for the process: its exit status.
close_orva() {
  driver close "$title" || return 99
  status_within 30
}
# close_orva, then a failure under the label $1 unless the program ended with status 0.
close_expecting_zero() {
  local rc=0
  close_orva || rc=$?
  [ "$rc" -eq 0 ] || fail "$1: exit status $rc after closing the window"
}
# No control window came: a failure under the label $1, and the program is ended.
no_window() {
  fail "$1: no control window"
  kill "$orva_pid" 2>/dev/null || true
}

# Starts what a Start-menu shortcut $1 starts, as the Start menu does: `wine start` of the
# shortcut, which gives the program no standard handles. `start` does not wait for what a
# shortcut starts, so orva_pid is the driver that waits for orva.exe and ends with its status.
start_shortcut() {
  wine start /unix "$1" </dev/null >/dev/null 2>&1
  driver status orva.exe 60 &
  orva_pid=$!
}
# The exit status of orva_pid, waiting up to $1 seconds; 98 when it is still running then.
status_within() {
  eventually "$1" bash -c "! kill -0 $orva_pid 2>/dev/null" || {
    kill "$orva_pid" 2>/dev/null
    return 98
  }
  local rc=0
  wait "$orva_pid" || rc=$?
  return $rc
}
last_lines() { tail -n "$2" "$1" 2>/dev/null | tr -d '\r'; }

# The installed program started from its Start-menu shortcuts ($1 the menu folder, $2 the
# working folder, $3 the program folder): the log has everything while the window is open, and
# a start that ends the process says why in a window on the taskbar for the whole pause.
start_menu_cases() {
  local menu=$1 folder=$2 inst=$3 rc t0 texts
  local settings=$folder/ORVASettings.txt
  cp "$settings" "$work/settings.keep"

  echo "--- Start menu: ORVA on SIM"
  start_shortcut "$menu/ORVA.lnk"
  if driver wait "$title" 60; then
    eventually 20 grep -q "^Filter           = " "$folder/ORVALog.txt" ||
      fail "Start menu: no settings report in ORVALog.txt while the window is open"
    grep -q "^COM Port         = SIM" "$folder/ORVALog.txt" || fail "Start menu: the report lacks the port"
    close_expecting_zero "Start menu"
  else
    no_window "Start menu"
  fi

  echo "--- Start menu: COMPort = COM9"
  printf 'COMPort = COM9\r\n' >"$settings"
  start_shortcut "$menu/ORVA.lnk"
  if driver wait ORVA 30; then
    t0=$(date +%s%N)
    texts=$(driver texts ORVA | tr -d '\r')
    grep -qx "Serial port COM9 for VCR not available." <<<"$texts" ||
      fail "COM9: the window does not name the port: $texts"
    grep -Eqx "Serial ports found: .*|No serial ports found" <<<"$texts" ||
      fail "COM9: the window has no ports line: $texts"
    driver taskbar ORVA || fail "COM9: the window is not on the taskbar"
    driver gone ORVA 15 || fail "COM9: the window stays after the pause"
    shown=$((($(date +%s%N) - t0) / 1000000))
    [ "$shown" -ge 4000 ] || fail "COM9: the window showed for $shown ms, not the 5 s pause"
    echo "    window shown for $shown ms"
  else
    fail "COM9: no message window"
  fi
  rc=0
  status_within 20 || rc=$?
  [ "$rc" -eq 0 ] || fail "COM9: exit status $rc, not 0"
  [ "$(last_lines "$folder/ORVALog.txt" 1)" = "Serial port COM9 for VCR not available." ] ||
    fail "COM9: the log does not end with the not-available line"
  last_lines "$folder/ORVALog.txt" 2 | head -n1 | grep -Eqx "Serial ports found: .*|No serial ports found" ||
    fail "COM9: no ports line before the last line of the log"

  echo "--- Start menu: no settings file, Enter closes the window"
  rm -f "$settings"
  start_shortcut "$menu/ORVA.lnk"
  if driver wait ORVA 30; then
    driver texts ORVA | tr -d '\r' | grep -qx "No Settings File found!" ||
      fail "no settings: the window does not say so"
    t0=$(date +%s%N)
    driver key ORVA 0x0D || fail "no settings: no key for the window"
    driver gone ORVA 3 || fail "no settings: Enter does not close the window"
    echo "    closed $((($(date +%s%N) - t0) / 1000000)) ms after Enter"
  else
    fail "no settings: no message window"
  fi
  rc=0
  status_within 20 || rc=$?
  [ "$rc" -eq 1 ] || fail "no settings: exit status $rc, not 1"
  grep -q "No Settings File found!" "$folder/ORVALog.txt" || fail "no settings: not in the log"
  cp "$work/settings.keep" "$settings"

  echo "--- Start menu: ORVA serial ports"
  local listed
  listed=$(cd "$folder" && wine "$inst/orva.exe" --list-ports 2>/dev/null | tr -d '\r') ||
    fail "--list-ports: exit status not 0"
  [ -n "$listed" ] || fail "--list-ports: printed nothing"
  echo "$listed" | sed 's/^/    /'
  start_shortcut "$menu/ORVA serial ports.lnk"
  if driver wait ORVA 30; then
    texts=$(driver texts ORVA | tr -d '\r')
    grep -qxF "$(head -n1 <<<"$listed")" <<<"$texts" ||
      fail "ports entry: the window does not show the list: $texts"
    driver close ORVA || true
  else
    fail "ports entry: no window"
  fi
  rc=0
  status_within 20 || rc=$?
  [ "$rc" -eq 0 ] || fail "ports entry: exit status $rc"
}

# --- hooks: window tests that run while the control window is open on the emulated deck ---
case_play_button() {
  local mark=$2
  driver click "$title" "Play >" || return 1
  eventually 10 bash -c "[ \$(tail -n +$((mark + 1)) '$transcript' | grep -c ' IN 20 01 21\$') -ge 1 ]"
}
# Escape is Stop whatever the deck does: the key reaches the deck through the window.
case_escape_key() {
  local mark=$2
  driver key "$title" 0x1B || return 1
  eventually 10 bash -c "[ \$(tail -n +$((mark + 1)) '$transcript' | grep -c ' IN 20 00 20\$') -ge 1 ]"
}
deck_cases=(case_play_button case_escape_key)

# --- start-up that ends the process: no settings file (status 1), a port that cannot be opened
# (status 0), each after its pause; both run at once. COM19 is mapped to no device. ---
echo "--- fatal start-up"
t=$(date +%s)
mkdir -p "$work/nosettings" "$work/noport"
printf 'COMPort = COM19\r\n' >"$work/noport/ORVASettings.txt"
(cd "$work/nosettings" && exec wine "$orva_exe") >/dev/null 2>&1 &
nosettings_pid=$!
(cd "$work/noport" && exec wine "$orva_exe") >/dev/null 2>&1 &
noport_pid=$!
rc=0
wait "$nosettings_pid" || rc=$?
[ "$rc" -eq 1 ] || fail "no settings: exit status $rc, not 1"
grep -q "No Settings File found!" "$work/nosettings/ORVALog.txt" 2>/dev/null ||
  fail "no settings: not in the log"
rc=0
wait "$noport_pid" || rc=$?
[ "$rc" -eq 0 ] || fail "COM19: exit status $rc, not 0"
[ "$(tail -n1 "$work/noport/ORVALog.txt" 2>/dev/null | tr -d '\r')" = "Serial port COM19 for VCR not available." ] ||
  fail "COM19: the log does not end with the not-available line"
echo "    $(($(date +%s) - t)) s"

# --- the control window on SIM ---
echo "--- orva.exe on SIM"
t=$(date +%s)
start_orva "$work/sim" SIM
if driver wait "$title" 60; then
  eventually 20 grep -q "Serial Port SIM Opened OK" "$work/sim/ORVALog.txt" ||
    fail "SIM: the log does not say the port opened"
  close_expecting_zero "SIM"
else
  no_window "SIM"
fi
echo "    $(($(date +%s) - t)) s"

# --- the control window on orva-decksim through the Wine COM port ---
echo "--- orva.exe on $comport (orva-decksim)"
t=$(date +%s)
start_orva "$work/com" "$comport"
if driver wait "$title" 60; then
  # The deck is polled once the window is up: the time-sense request reaches the emulator.
  mark=$(transcript_lines)
  eventually 20 bash -c "[ \$(tail -n +$((mark + 1)) '$transcript' | grep -c ' IN 61 0C 03 70\$') -ge 1 ]" ||
    fail "$comport: no polling reached the deck"
  for c in "${deck_cases[@]}"; do
    "$c" "$work/com" "$(transcript_lines)" || fail "$comport: $c"
  done
  # ORVA_SCREENSHOT=file.png: a picture of the control window (needs ImageMagick's convert).
  if [ -n "${ORVA_SCREENSHOT:-}" ] && command -v convert >/dev/null; then
    sleep 1  # the timecode has updated and the highlight bars have settled
    wid=$(xdotool search --onlyvisible --name "$title" | head -n1)
    { [ -n "$wid" ] && xwd -silent -id "$wid" -frame | convert xwd:- "$ORVA_SCREENSHOT"; } ||
      echo "    no screenshot"
  fi
  mark=$(transcript_lines)
  close_expecting_zero "$comport"
  stops=$(count_frames_since "$mark" "20 00 20")
  [ "$stops" -ge 2 ] || fail "$comport: $stops Stop frames after closing (StopOnExit wants 2)"
else
  no_window "$comport"
fi
echo "    $(($(date +%s) - t)) s"

# --- the installer: silent install, the installed program starts, the uninstaller removes it ---
if [ -n "$installer" ]; then
  echo "--- $(basename "$installer")"
  t=$(date +%s)
  for user_dir in "$WINEPREFIX"/drive_c/users/*; do
    [ "$(basename "$user_dir")" != Public ] && break
  done
  inst=$user_dir/AppData/Local/Programs/ORVA
  folder=$user_dir/Documents/ORVA
  menu=$user_dir/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/ORVA
  rm -rf "$folder"
  if ! wine "$installer" /S; then
    fail "installer: exit status not 0"
  fi
  for f in orva.exe orva-convert.exe README.txt orva.txt orva-convert.txt uninstall.exe; do
    [ -f "$inst/$f" ] || fail "installer: $f not installed"
  done
  [ -f "$menu/ORVA.lnk" ] || fail "installer: no Start-menu shortcut"
  [ -f "$menu/ORVA serial ports.lnk" ] || fail "installer: no Start-menu entry for the ports"
  grep -q "ORVA for Windows: user's guide" "$inst/README.txt" 2>/dev/null ||
    fail "installer: README.txt is not the Windows user's guide"
  uninst=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ORVA' 2>/dev/null | tr -d '\r')
  grep -Eq "Publisher +REG_SZ +ORVA developers" <<<"$uninst" || fail "installer: no publisher"
  grep -Eq "EstimatedSize +REG_DWORD +0x[0-9a-f]*[1-9a-f]" <<<"$uninst" || fail "installer: no size"
  grep -q "^COMPort = SIM" "$folder/ORVASettings.txt" 2>/dev/null ||
    fail "installer: no sample settings in Documents\\ORVA"
  # Started where the shortcut starts it: in the operator's folder.
  start_orva "$folder" SIM "$inst/orva.exe"
  if driver wait "$title" 60; then
    close_expecting_zero "installed orva.exe"
    grep -q "Serial Port SIM Opened OK" "$folder/ORVALog.txt" ||
      fail "installed orva.exe: no log in Documents\\ORVA"
  else
    no_window "installed orva.exe"
  fi
  start_menu_cases "$menu" "$folder" "$inst"
  # A second install leaves the operator's settings as they are.
  printf 'UserNote = kept\r\n' >>"$folder/ORVASettings.txt"
  wine "$installer" /S || fail "second install: exit status not 0"
  grep -q "UserNote = kept" "$folder/ORVASettings.txt" || fail "second install replaced the settings"
  # The uninstaller runs on from a copy of itself: wait for the program to go.
  wine "$inst/uninstall.exe" /S || fail "uninstaller: exit status not 0"
  eventually 30 bash -c "[ ! -e '$inst' ] && [ ! -e '$menu' ]" ||
    fail "uninstaller: program or shortcuts left: $(ls "$inst" "$menu" 2>&1 | tr '\n' ' ')"
  [ -f "$folder/ORVASettings.txt" ] && [ -f "$folder/ORVALog.txt" ] ||
    fail "uninstaller: removed the operator's folder"
  echo "    $(($(date +%s) - t)) s"
fi

echo "window tests: $fails failed"
[ "$fails" -eq 0 ]
