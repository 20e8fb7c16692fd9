#!/usr/bin/env bash
# The Windows stage: cross-builds orva.exe, orva-convert.exe, the libraries and their tests with
# mingw-w64, runs the tests under Wine, drives the Windows serial driver through a Wine COM port
# wired to the Linux orva-decksim, drives orva.exe's remote servers on that port (and measures
# them with bench/remote_wine.sh), checks that orva-convert.exe writes the same bytes as the
# Linux orva-convert for every EDL fixture, builds the installer, and runs the window tests
# (scripts/windows-gui-test.sh) on a virtual display.
#   scripts/windows-test.sh [EDL folder]   (default tests/fixtures/edl)
# Needs the Linux build (build/default) for orva-decksim, orva-convert and orva_bench_remote;
# builds those targets when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
t0=$(date +%s)
step() { echo "--- $* ($(($(date +%s) - t0)) s)"; }
edl_dir=${1:-tests/fixtures/edl}

step "packages"
pkgs=(g++-mingw-w64-x86-64-posix wine wine64 nsis groff-base xvfb xdotool x11-apps iproute2 procps)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

toolchain=$root/cmake/toolchains/mingw-w64-x86_64.cmake
gtest_prefix=$root/build/windows-gtest/install
if [ ! -f "$gtest_prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  step "GoogleTest for Windows from /usr/src/googletest"
  cmake -S /usr/src/googletest -B build/windows-gtest/build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -Dgtest_disable_pthreads=ON >/dev/null
  cmake --build build/windows-gtest/build
  cmake --install build/windows-gtest/build >/dev/null
fi

step "cross build"
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross

step "Linux orva-decksim, orva-convert and the remote bench"
[ -f build/default/build.ninja ] || cmake --preset default >/dev/null
cmake --build build/default --target orva-decksim orva-convert orva_bench_remote

# One Wine prefix for the whole stage, under the build folder; its first start (wineboot) is
# the slow part. The server stays up for the stage so every test starts quickly, and Wine's
# own services start here with their output on /dev/null: a service holding a test's output
# pipe would keep ctest waiting for it.
export WINEPREFIX=$root/build/windows-cross/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
step "virtual display and Wine prefix"
# The windows need a display: a private Xvfb for the stage, started before Wine's own desktop.
sim_pid="" xvfb_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
mkdir -p build/windows-cross
display_file=build/windows-cross/xvfb-display
: >"$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
[ -s "$display_file" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$display_file")
mkdir -p "$WINEPREFIX"
wineserver -p
wine wineboot </dev/null >/dev/null 2>&1 || true
# Wine links the user's Documents, Desktop and the like to the home folder; the installer test
# writes there, so the prefix gets folders of its own.
for link in "$WINEPREFIX"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos}; do
  if [ -L "$link" ]; then
    rm "$link" && mkdir "$link"
  fi
done

step "emulated deck on a Wine COM port"
work=$root/build/windows-cross/stage
rm -rf "$work"
mkdir -p "$work"
coproc SIM { exec build/default/sim/orva-decksim --deck vtr --transcript "$work/transcript.txt"; }
sim_pid=$SIM_PID
read -r -t 10 pty <&"${SIM[0]}"
[ -e "$pty" ] || { echo "orva-decksim gave no terminal"; exit 1; }
# COM20 is far above the ports Wine maps to the machine's own serial devices.
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com20"
export ORVA_TEST_COMPORT=COM20
ORVA_TEST_TRANSCRIPT=$(winepath -w "$work/transcript.txt" 2>/dev/null)
export ORVA_TEST_TRANSCRIPT

step "tests under Wine"
# The screen's dpi, which Wine reads from the registry once per process. The tests run at 96,
# whatever an interrupted run left in the prefix.
set_dpi() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
set_dpi 96
# A Wine process now and then does not end after its last test, or ends at once (0.02 s) without
# having run it; such a run is tried again, up to three times, instead of failing the stage.
# A test that fails for a reason of its own fails every try. Every failed try prints its output,
# so a retried one stays in the log; the Linux stages run the tests both systems build without
# retries.
wine_ctest() { ctest --preset windows-cross --output-on-failure --repeat until-pass:3 "$@"; }
# The COM-port tests share the one emulated deck on COM20: they run one at a time, after the
# rest (two of them opening the port at once make the second open fail).
wine_ctest -j2 --timeout 60 -E '^(ComPortTest|OrvaExeRemoteTest)\.'
wine_ctest --timeout 60 -R '^ComPortTest\.'

step "window texts at 120 and 144 dpi"
# The text-fit test (at 96 dpi above) runs again alone at each, then the prefix goes back to 96.
for dpi in 120 144; do
  set_dpi "$dpi"
  ORVA_TEST_DPI=$dpi wine_ctest --timeout 60 -R '^Win32TextFit\.' || { set_dpi 96; exit 1; }
done
set_dpi 96

step "remote servers of orva.exe on COM20"
# orva.exe with HyperDeckPort and RemotePort set, driven over loopback by the tests' clients;
# then what it listens on, and remote command to frame under Wine (figures, no target).
wine_ctest --timeout 120 -R '^OrvaExeRemoteTest\.'
bench/remote_wine.sh "$ORVA_TEST_COMPORT" "$work/transcript.txt" 100

step "orva-convert.exe against orva-convert"
shopt -s nullglob
sources=("$edl_dir"/*.edl)
if [ ${#sources[@]} -eq 0 ]; then
  echo "no EDL files in $edl_dir: nothing to compare"
else
  fails=0
  for src in "${sources[@]}"; do
    name=$(basename "$src" .edl)
    mkdir -p "$work/linux" "$work/windows"
    # Both run in an empty folder, so no settings file changes their defaults.
    linux_rc=0 windows_rc=0
    (cd "$work/linux" && "$root/build/default/edl/orva-convert" "$root/$src" "$name-out.edl") \
      >/dev/null 2>&1 || linux_rc=$?
    (cd "$work/windows" &&
      wine "$root/build/windows-cross/edl/orva-convert.exe" "$(winepath -w "$root/$src")" \
        "$name-out.edl") >/dev/null 2>&1 || windows_rc=$?
    if [ "$linux_rc" != "$windows_rc" ]; then
      echo "DIFFERENT exit status for $src: Linux $linux_rc, Windows $windows_rc"
      fails=$((fails + 1))
    elif [ -f "$work/linux/$name-out.edl" ] || [ -f "$work/windows/$name-out.edl" ]; then
      if ! cmp -s "$work/linux/$name-out.edl" "$work/windows/$name-out.edl"; then
        echo "DIFFERENT output for $src"
        fails=$((fails + 1))
      fi
    fi
  done
  echo "${#sources[@]} files compared, $fails different"
  [ "$fails" -eq 0 ]
fi
step "installer"
installer=$(./scripts/windows-installer.sh)

step "window tests under Xvfb"
./scripts/windows-gui-test.sh "$ORVA_TEST_COMPORT" "$work/transcript.txt" "$installer"
step "done"
