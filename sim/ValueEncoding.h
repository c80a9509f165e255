#pragma once
// How the simulated chip stores a value: the low `width` bytes of its two's
// complement, in the frame's byte order, and the range a width can hold.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/DataPlaneConfig.h"

namespace sim {

void EncodeValue(int32_t value, unsigned width, bool littleEndian, uint8_t* out);

// The range of a `width`-byte value (1, 2 or 4). A 4-byte unsigned value is
// limited to what a signed 32-bit frame buffer shows as positive.
int64_t MinValueOf(unsigned width, bool isSigned);
int64_t MaxValueOf(unsigned width, bool isSigned);
int32_t FitValue(int64_t value, unsigned width, bool isSigned);

// Values in node order, encoded as the format says.
std::vector<uint8_t> EncodeFrame(const std::vector<int32_t>& values, const FrameFormat& format);

}  // namespace sim
