#pragma once
// The end of every run: the bars take the items' colours, the INT and
// SENSOR_ID lines and the large "OK" or "NG" are logged. Any state but
// TEST_FAIL passes, except a data item that was selected and never judged.

#include "moduletest/engine/RunContext.h"

// Returns the verdict (true: "OK").
bool TestIntAndSensorId(RunContext& ctx);

// A data item that is still TEST_ON at the verdict.
inline constexpr const char* kDataNotJudgedLine = "原始值未检测";
