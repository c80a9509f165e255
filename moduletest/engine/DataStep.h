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
