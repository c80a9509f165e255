#pragma once
// The auto-adjust's analysis: from the average raw value measured at each
// frequency index, relative to a reference index, it finds up to five
// boundaries where the normalised level drops and the normalisation (128 =
// unity) of the six segments they make. Integer arithmetic throughout,
// divisions truncating toward zero, as the chip's tuning expects.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "views/DataFormat.h"

struct SegmentAnalysis {
  // b[0] = Start, b[6] = End, b[1..5] the boundaries (End when not found);
  // never decreasing, so every segment b[i]..b[i+1] holds at least one index.
  std::array<int, 7> bounds{};
  std::array<int, 6> segNormal{};
  std::vector<int64_t> norm;  // refAvg x 1024 / average, per index
  int ref = 0;                // the reference index used (held inside the range)
  bool searchA = false;       // which search found the boundaries

  // The segment an index belongs to (the first whose bounds hold it).
  int SegmentOf(int index) const;
};

// averages[j] is the average at index start + j (averages.size() = end -
// start + 1, at least 1).
SegmentAnalysis AnalyseSegments(std::span<const int32_t> averages, int start, int end, int ref);

// The eleven segment values in edit order: Seg1 Normal, Seg1 Factor, ...,
// Seg5 Factor, Seg6 Normal.
std::array<int, 11> SegmentValues(const SegmentAnalysis& analysis);

// Maximum, minimum and average of one raw frame, the values taken as
// unsigned numbers of the format's width and byte order.
struct RawLevels {
  int32_t max = 0;
  int32_t min = 0;
  int32_t average = 0;
};
// Empty nodeCount or too few bytes for one node: nothing to measure.
bool MeasureRawFrame(std::span<const uint8_t> bytes, size_t nodeCount, const DataFormat& format,
                     RawLevels* levels);
