#!/usr/bin/env bash
# Builds and runs the benchmarks; prints one line per metric: "name value unit".
# Usage: scripts/bench.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
BUILD=${1:-build-bench}
# Qt on: drawing and the windows are measured too (offscreen).
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRANA_WITH_QT=ON -DKESTRANA_BENCH=ON >/dev/null
cmake --build "$BUILD" --parallel "$(nproc)" >/dev/null
status=0
for b in "$BUILD"/bench/kestrana_*bench; do
  [ -x "$b" ] || continue
  QT_QPA_PLATFORM=offscreen "$b" --metrics 2>/dev/null || status=1
done
exit $status
