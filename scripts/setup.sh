#!/usr/bin/env bash
# Installs every build, test and benchmark dependency on a fresh Debian machine.
set -euo pipefail
packages=(
  build-essential cmake
  libgtest-dev googletest libbenchmark-dev
  libblas-dev liblapack-dev libsuitesparse-dev libeigen3-dev
  octave octave-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
