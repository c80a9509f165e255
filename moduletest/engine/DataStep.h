#pragma once
// The data step of a run: 16 raw frames captured, then the maximum/minimum
// and adjacent-deviation tests, each with its line and bar.

#include "moduletest/engine/RunContext.h"
#include "moduletest/engine/RunResult.h"
#include "views/DataFormat.h"

inline constexpr const char* kCaptureTimeoutLine = "获取原始值超时";

// Captures and judges items 0 and 2 (those that are due); a capture that
// fails fails every data item that is not TEST_OFF. Fills the frame figures
// of result.
void RunDataTests(RunContext& ctx, const DataFormat& raw, RunResult& result);

// A run that cannot capture: every data item that is not TEST_OFF fails.
void FailDataTests(RunContext& ctx);

// Fills result.measurements from the shared arrays: the capture's frames and
// per-node figures, or, without a capture, only the panel's rows and columns
// (the raw format's while no panel was read), so that the report's grids
// keep their shape and hold zeros.
void TakeMeasurements(RunResult& result);
