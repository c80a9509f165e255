#pragma once
// How fuzz_touch_report reads its input (FuzzedDataProvider): from the back
// the drawing area, the panel's resolution and grid, the stylus format and
// length, the chip the stylus rows follow, and per report whether the pen's
// stylus report came with it; from the front each coordinate report (82
// bytes) and each stylus report (the stylus length). The seed generator
// writes its inputs by the same ranges, so that a seed still decodes as
// meant when they change.

#include <array>
#include <cstddef>
#include <cstdint>

#include "views/DataFormat.h"

namespace touch_report_input {

inline constexpr int kMaxReports = 8;               // reports in a row, at least 1
inline constexpr int32_t kMaxAreaSide = 8192;       // pixels of the drawing area
inline constexpr uint32_t kMaxResolution = 0xFFFF;  // the chip's 16-bit registers
// A grid the raw format allows: rows and columns each within the frame.
inline constexpr int32_t kMaxGridSide = static_cast<int32_t>(kMaxRawNodes);
inline constexpr uint8_t kMaxStylusUnit = 2;  // as the chip INI loader bounds it
// The chips whose stylus row profile lies at different offsets.
inline constexpr std::array<const char*, 2> kChipNames = {"RO9110V", "RO7387Z"};

}  // namespace touch_report_input
