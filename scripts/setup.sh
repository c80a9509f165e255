#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Kestrana needs.
# Idempotent: packages already present are not fetched again, and apt-get update
# runs only when something is missing. Every name here is a real Debian 12
# package (not a name another package merely provides), or dpkg-query would
# never find it installed and every run would call apt-get through sudo.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config g++ clang-14 libclang-rt-14-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev
  libudev-dev libusb-1.0-0-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # runtime: Qt platform plugins for offscreen/X11 and the CJK texts of the UI
  libqt6svg6 qt6-qpa-plugins fonts-noto-cjk
  # headless screenshots of the windows
  xvfb xauth
  # the .deb package: dpkg-shlibdeps finds its dependencies, file tells it
  # which installed files are programs
  dpkg-dev file
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
