#!/usr/bin/env bash
# Builds the Debian package of Kestrana (the program, its runtime defaults,
# the operator's guide, the desktop entry, the icon and the udev rule) and
# prints its path. Install it with: sudo apt install ./<the printed path>
# Usage: scripts/package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD=${1:-build-package}
# A build folder of its own needs neither the tests nor the benchmarks; an
# existing one (the test command's) keeps its options and is only brought up
# to date.
options=()
if [ ! -f "$BUILD/CMakeCache.txt" ]; then options=(-DKESTRANA_TESTS=OFF -DKESTRANA_BENCH=OFF); fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
cmake --build "$BUILD" --parallel "$(nproc)"
rm -f "$BUILD"/kestrana_*.deb
(cd "$BUILD" && cpack -G DEB)
ls "$PWD/$BUILD"/kestrana_*.deb
