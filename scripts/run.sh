#!/usr/bin/env bash
# Installs what is needed, builds Kestrana and runs it: the bridge self-check
# on the simulated bridge, or on a real bridge with KESTRANA_DEVICE=hidraw.
# Usage: scripts/run.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD=${1:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --parallel "$(nproc)" --target kestrana-selfcheck
export KESTRANA_DEVICE=${KESTRANA_DEVICE:-sim}
exec "$BUILD/sim/kestrana-selfcheck"
