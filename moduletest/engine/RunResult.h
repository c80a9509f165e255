#pragma once
// What one module test run leaves for the counters and the report: the item
// states, the verdict and the per-frame figures of the capture. The per-node
// figures stay in the shared node arrays and RawFrameStack (read them under
// NodeArraysMutex()).

#include <array>
#include <cstddef>
#include <cstdint>

#include <vector>

#include "moduletest/engine/TestItems.h"
#include "moduletest/report/TestReport.h"

inline constexpr size_t kCapturedFrames = kReportFrames;

struct RunResult {
  TestItemStates items{};
  bool passed = false;
  // Whether this run captured 16 frames; rows x cols of those frames.
  bool captured = false;
  int32_t rows = 0;
  int32_t cols = 0;
  std::array<FrameStat, kCapturedFrames> frameStats{};
  // The update mode of the run (the report names the update item only
  // outside test-only mode).
  bool testOnly = true;
  // The production configuration's block when one is loaded, else the
  // chip's backed-up block when valid, else empty (the report's first line).
  std::vector<uint8_t> chipConfig;
};
