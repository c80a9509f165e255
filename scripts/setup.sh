#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Kestrana needs.
# Idempotent: packages already present are not fetched again, and apt-get update
# runs only when something is missing.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config g++ clang-14 libclang-rt-14-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qt6-svg-dev
  libudev-dev libusb-1.0-0-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # runtime: Qt platform plugins for offscreen/X11 and the CJK texts of the UI
  libqt6svg6 qt6-qpa-plugins fonts-noto-cjk
  # headless screenshots of the windows
  xvfb xauth
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#PACKAGES[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
