#include "moduletest/engine/DataTests.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "moduletest/TestNeighbours.h"

namespace {

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// rows x cols cut to the arrays; 0 for a geometry that describes no frame.
size_t NodeCount(int32_t rows, int32_t cols) {
  if (rows <= 0 || cols <= 0) return 0;
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  return n <= NodeArrays::kNodes ? n : 0;
}

}  // namespace

TestItemState JudgeShare(int share) {
  if (share <= kSharePassBound) return TEST_PASS;
  if (share >= kShareFailBound) return TEST_FAIL;
  return TEST_UNDECIDED;
}

int MaxMinShare(const RawFrameStack& stack, int32_t rows, int32_t cols, NodeArrays& nodes) {
  const size_t count = NodeCount(rows, cols);
  int64_t readings = 0;
  for (size_t k = 0; k < count; ++k) {
    for (int f = 0; f < kDataTestFrames; ++f) {
      const int32_t v = stack.At(static_cast<size_t>(f))[k];
      if (v > nodes.NodeMaxLimit[k]) {
        ++readings;
        nodes.NodeFailFlags[k] |= kFailMax;
      } else if (v < nodes.NodeMinLimit[k]) {
        ++readings;
        nodes.NodeFailFlags[k] |= kFailMin;
      }
    }
  }
  return ClampToInt32(readings * 100 / kDataTestFrames);
}

int AdjacentShare(const RawFrameStack& stack, int32_t rows, int32_t cols, NodeArrays& nodes) {
  if (NodeCount(rows, cols) == 0) return 0;
  int worst = 0;
  for (int32_t j = 0; j < cols; ++j) {
    for (int32_t i = 0; i < rows; ++i) {
      const size_t k = NodeIndex(rows, i, j);
      const int64_t p = nodes.NodeAdjDevLimit[k];
      int64_t largest = 0;
      int failing = 0;
      for (int f = 0; f < kDataTestFrames; ++f) {
        const RawFrameStack::Frame& frame = stack.At(static_cast<size_t>(f));
        const int64_t v = frame[k];
        const int64_t d0 = p * v / 100;
        if (d0 == 0) {
          ++failing;
          continue;
        }
        bool fails = false;
        ForEachTestNeighbour(rows, cols, i, j, [&](size_t neighbour) {
          const int64_t d = std::llabs(v - frame[neighbour]);
          if (d >= d0) fails = true;
          largest = std::max(largest, d * 100 / v);
        });
        if (fails) ++failing;
      }
      nodes.NodeAdjDev[k] = ClampToInt32(largest);
      if (failing > 0) nodes.NodeFailFlags[k] |= kFailAdjacent;
      worst = std::max(worst, failing * 100 / kDataTestFrames);
    }
  }
  return worst;
}
