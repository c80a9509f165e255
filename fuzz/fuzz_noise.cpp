// The noise view reads its range from the chip's items and its frames from
// the chip: any range, noise area, raw frame and reference index must stay
// inside the 64 points and the segment table, and give ordered segments.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "views/noise/NoiseFrame.h"
#include "views/noise/NoiseGeometry.h"
#include "views/noise/SegmentAnalysis.h"

namespace {

int32_t Take(const uint8_t*& data, size_t& size) {
  int32_t v = 0;
  const size_t n = size < 4 ? size : 4;
  std::memcpy(&v, data, n);
  data += n;
  size -= n;
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int32_t start = Take(data, size);
  const int32_t end = Take(data, size);
  const int32_t ref = Take(data, size);
  const int32_t width = Take(data, size) & 0x7FF;
  const int32_t height = Take(data, size) & 0x7FF;
  const int32_t x = Take(data, size);

  const CheckedNoiseRange checked = ValidateNoiseRange(start, end);
  const NoiseRange range = checked.range;
  if (range.start < 0 || range.end < range.start || range.Count() > kNoiseMaxPoints) std::abort();

  const std::span<const uint8_t> frame(data, size);
  const NoiseGeometry g = ComputeNoiseGeometry(width, height, range);
  if (static_cast<int>(g.xs.size()) != range.Count()) std::abort();
  const int index = DragIndex(x, g, range);
  if (index < range.start || index > range.end) std::abort();
  (void)HitsMarker(x, x, NoiseFrequencyIndex(frame), NoiseFrequencyIndex(frame) + 2, g, range);
  (void)ComputeYLabels(NoiseLevel(frame, 0) * 1000 + 1, height);

  std::vector<int32_t> averages(static_cast<size_t>(range.Count()));
  for (int k = 0; k < range.Count(); ++k) {
    averages[static_cast<size_t>(k)] = NoiseLevel(frame, k) * 257;
  }
  const SegmentAnalysis a = AnalyseSegments(averages, range.start, range.end, ref);
  for (int i = 0; i < 6; ++i) {
    if (a.bounds[i] > a.bounds[i + 1] || a.bounds[i] < range.start || a.bounds[i + 1] > range.end) {
      std::abort();
    }
  }
  DataFormat raw;
  raw.unit = static_cast<uint8_t>(size % 3);
  raw.littleEndian = static_cast<uint8_t>(size & 1);
  RawLevels levels;
  if (MeasureRawFrame(frame, size, raw, &levels) && levels.min > levels.max) std::abort();
  return 0;
}
