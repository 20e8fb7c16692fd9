#!/usr/bin/env bash
# Installs the Debian packages that ORVA needs to build, test, run and package (dpkg-dev and
# file for cpack's DEB generator, ccache for CI's repeated builds); skips what is there.
set -euo pipefail
pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
      libbenchmark-dev xvfb xauth fonts-dejavu-core clang libclang-rt-14-dev
      dpkg-dev file ccache)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
