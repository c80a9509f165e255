#pragma once
// What one module test run leaves for the counters and the report: the item
// states, the verdict and the report's copy of what the capture measured.

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
  // Whether this run captured 16 frames.
  bool captured = false;
  // The report's figures, copied from the shared arrays before the page
  // shown before the run streams into them again: rows x cols of the frames
  // captured, else of the panel with nothing but zeros.
  TestMeasurements measurements;
  // The update mode of the run (the report names the update item only
  // outside test-only mode).
  bool testOnly = true;
  // The production configuration's block when one is loaded, else the
  // chip's backed-up block when valid, else empty (the report's first line).
  std::vector<uint8_t> chipConfig;
};
