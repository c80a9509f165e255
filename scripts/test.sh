#!/usr/bin/env bash
# Installs what is needed, builds everything with warnings as errors and runs
# every test (core tests and offscreen widget tests).
# Usage: scripts/test.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD=${1:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRANA_WERROR=ON
cmake --build "$BUILD" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure --parallel "$(nproc)" --timeout 300
