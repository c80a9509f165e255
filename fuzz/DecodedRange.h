#pragma once
// The values a frame of a format can decode to: what its width holds, signed
// or not; a 32-bit value may be any int (unsigned ones come back as their
// bit pattern).

#include <cstdint>
#include <limits>

#include "sim/ValueEncoding.h"
#include "views/DataFormat.h"

namespace fuzz {

struct DecodedRange {
  int64_t low;
  int64_t high;
};

inline DecodedRange DecodedRangeOf(const DataFormat& f) {
  const auto width = static_cast<unsigned>(f.UnitBytes());
  if (width >= 4) {
    return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
  }
  return {sim::MinValueOf(width, f.isSigned != 0), sim::MaxValueOf(width, f.isSigned != 0)};
}

}  // namespace fuzz
