#include "views/ValueDecode.h"

#include <algorithm>

int32_t DecodeValue(const uint8_t* bytes, size_t width, bool isSigned, bool littleEndian) {
  if (width < 1 || width > 4) return 0;
  // Unsigned arithmetic: a 32-bit value must not overflow on the way.
  uint32_t acc = 0;
  for (size_t i = 0; i < width; ++i) {
    const uint8_t b = littleEndian ? bytes[width - 1 - i] : bytes[i];
    acc = (acc << 8) | b;
  }
  if (isSigned && width < 4) {
    const uint32_t signBit = uint32_t{1} << (8 * width - 1);
    if (acc & signBit) acc |= ~((signBit << 1) - 1);
  }
  return static_cast<int32_t>(acc);
}

size_t DecodeFrame(const uint8_t* bytes, size_t byteCount, const DataFormat& format,
                   size_t nodeCount, int32_t* out, size_t outCapacity) {
  if (format.unit > 2) return 0;
  const size_t width = format.UnitBytes();
  const size_t n = std::min({nodeCount, byteCount / width, outCapacity});
  for (size_t i = 0; i < n; ++i) {
    out[i] = DecodeValue(bytes + i * width, width, format.isSigned != 0, format.littleEndian != 0);
  }
  return n;
}
