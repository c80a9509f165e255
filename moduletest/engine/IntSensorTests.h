#pragma once
// The INT test (the chip's interrupt line reaches the bridge, which then
// takes the announced report and clears the ready flag) and the SENSOR_ID
// test (the sensor id byte equals the expected one). Each judges its item.

#include <optional>
#include <string>

#include "moduletest/engine/RunContext.h"

// Polls of the ready flag after it was raised by hand.
inline constexpr uint32_t kIntPolls = 200;

void TestInt(RunContext& ctx);
void TestSensorId(RunContext& ctx);

// The expected id: a decimal 0..255 and nothing else.
std::optional<uint8_t> ExpectedSensorId(const std::string& text);
