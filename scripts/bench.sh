#!/usr/bin/env bash
# Builds and runs the benchmarks; prints one line per metric: "name value unit".
# Usage: scripts/bench.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
BUILD=${1:-build-bench}
# Qt on: the data views' drawing is measured too (offscreen).
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRANA_WITH_QT=ON -DKESTRANA_BENCH=ON >/dev/null
cmake --build "$BUILD" --parallel "$(nproc)" --target kestrana_bench kestrana_views_bench >/dev/null
"$BUILD/bench/kestrana_bench" --metrics
QT_QPA_PLATFORM=offscreen "$BUILD/bench/kestrana_views_bench" --metrics 2>/dev/null
