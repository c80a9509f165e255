#pragma once
// Sample files as the sampling dialog records them: the raw frames of a
// simulated, untouched panel appended by the sample store, and the test.ini
// the dialog saves the node limits computed from them into.

#include <cstdint>
#include <string>
#include <vector>

#include "moduletest/samples/NodeLimits.h"
#include "sim/DataPlaneConfig.h"
#include "views/DataFormat.h"

namespace fuzzseeds {

// The simulator's frame format for a data format.
sim::FrameFormat SimFormat(const DataFormat& format);

// Frames firstFrame.. of the simulated panel in `raw`, one .sd file's bytes.
std::vector<uint8_t> RecordSampleFile(const DataFormat& raw, uint64_t firstFrame, int frames);

// The ratios the dialog takes that move the limits furthest from the
// averages, with no floor on the adjacent deviation.
AdjustRatios WidestRatios();

// The test.ini text holding the limits computed from `files` (read with
// `raw`) and nothing else.
std::string NodeLimitsIni(const std::vector<std::vector<uint8_t>>& files, const DataFormat& raw,
                          const AdjustRatios& ratios);

}  // namespace fuzzseeds
