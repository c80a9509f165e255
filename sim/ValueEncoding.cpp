#include "sim/ValueEncoding.h"

#include <algorithm>

namespace sim {

void EncodeValue(int32_t value, unsigned width, bool littleEndian, uint8_t* out) {
  const auto bits = static_cast<uint32_t>(value);
  for (unsigned i = 0; i < width; ++i) {
    const auto byte = static_cast<uint8_t>(bits >> (8 * i));  // i-th least significant
    out[littleEndian ? i : width - 1 - i] = byte;
  }
}

int64_t MinValueOf(unsigned width, bool isSigned) {
  if (!isSigned) return 0;
  return -(int64_t{1} << (8 * width - 1));
}

int64_t MaxValueOf(unsigned width, bool isSigned) {
  if (isSigned || width >= 4) return (int64_t{1} << (8 * width - 1)) - 1;
  return (int64_t{1} << (8 * width)) - 1;
}

int32_t FitValue(int64_t value, unsigned width, bool isSigned) {
  return static_cast<int32_t>(
      std::clamp(value, MinValueOf(width, isSigned), MaxValueOf(width, isSigned)));
}

std::vector<uint8_t> EncodeFrame(const std::vector<int32_t>& values, const FrameFormat& format) {
  std::vector<uint8_t> out(values.size() * format.valueBytes);
  for (size_t i = 0; i < values.size(); ++i) {
    EncodeValue(values[i], format.valueBytes, format.littleEndian,
                out.data() + i * format.valueBytes);
  }
  return out;
}

}  // namespace sim
