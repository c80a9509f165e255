#include "views/noise/SegmentAnalysis.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int kBoundaries = 5;
constexpr int64_t kNormUnit = 1024;
// segNormal = average norm / 8: 128 when a segment matches the reference.
constexpr int64_t kNormToSegment = 8;

}  // namespace

int SegmentAnalysis::SegmentOf(int index) const {
  for (int i = 0; i < 6; ++i) {
    if (bounds[i] <= index && index <= bounds[i + 1]) return i;
  }
  return 5;
}

SegmentAnalysis AnalyseSegments(std::span<const int32_t> averages, int start, int end, int ref) {
  SegmentAnalysis a;
  const int n = static_cast<int>(averages.size());
  // Boundaries not found are unset (not 0, which is an index when Start is 0).
  a.bounds.fill(-1);
  a.bounds[0] = start;
  a.bounds[6] = end;
  if (n <= 0) {
    for (int i = 1; i < 6; ++i) a.bounds[i] = end;
    return a;
  }
  // An index typed outside the range would read outside the table.
  a.ref = static_cast<int>(std::clamp<long long>(ref, start, static_cast<long long>(start) + n - 1));
  const int64_t refAvg = averages[static_cast<size_t>(a.ref - start)];

  a.norm.resize(static_cast<size_t>(n));
  int64_t minNorm = INT64_MAX;
  for (int j = 0; j < n; ++j) {
    const int64_t avg = averages[static_cast<size_t>(j)];
    const int64_t norm = avg == 0 ? 0 : refAvg * kNormUnit / avg;
    a.norm[static_cast<size_t>(j)] = norm;
    minNorm = std::min(minNorm, norm);
  }
  const auto& norm = a.norm;
  const int64_t d0 = norm[0] - minNorm;
  const int64_t dn = norm[static_cast<size_t>(n - 1)] - minNorm;
  const int64_t t1 = std::max(d0 / 6, dn);
  const int64_t t2 = std::max(d0 / 5, dn + d0 / 5);

  int64_t cur = norm[0];
  int s = 1;
  if (minNorm != norm[static_cast<size_t>(n - 1)] && t1 >= t2) {
    a.searchA = true;
    for (int j = 0; j < n && s < kBoundaries; ++j) {
      if (cur - norm[static_cast<size_t>(j)] > t2) {
        cur = norm[static_cast<size_t>(j)];
        a.bounds[static_cast<size_t>(s++)] = start + j;
      }
    }
    for (int j = n - 1; j >= 1; --j) {
      if (norm[static_cast<size_t>(j)] - cur > t2) {
        a.bounds[static_cast<size_t>(s)] = start + j;
        break;
      }
    }
  } else {
    // The table holds five boundaries; later drops are not recorded.
    for (int j = 0; j < n && s <= kBoundaries; ++j) {
      if (cur - norm[static_cast<size_t>(j)] > t1) {
        a.bounds[static_cast<size_t>(s++)] = start + j;
        cur = norm[static_cast<size_t>(j)];
      }
    }
  }
  for (int i = 1; i <= kBoundaries; ++i) {
    int& b = a.bounds[static_cast<size_t>(i)];
    if (b < 0 || b > end || b < start) b = end;
  }
  // A boundary below the one before it (the downward search) would leave a
  // segment without indices; holding them in order keeps every segment whole.
  for (int i = 1; i <= 6; ++i) {
    a.bounds[static_cast<size_t>(i)] =
        std::max(a.bounds[static_cast<size_t>(i)], a.bounds[static_cast<size_t>(i - 1)]);
  }
  for (int i = 0; i < 6; ++i) {
    const int from = a.bounds[static_cast<size_t>(i)];
    const int to = a.bounds[static_cast<size_t>(i + 1)];
    int64_t sum = 0;
    for (int f = from; f <= to; ++f) sum += norm[static_cast<size_t>(f - start)];
    a.segNormal[static_cast<size_t>(i)] =
        static_cast<int>(sum / (to - from + 1) / kNormToSegment);
  }
  return a;
}

std::array<int, 11> SegmentValues(const SegmentAnalysis& a) {
  std::array<int, 11> v{};
  for (int i = 0; i < 5; ++i) {
    v[static_cast<size_t>(2 * i)] = a.segNormal[static_cast<size_t>(i)];
    v[static_cast<size_t>(2 * i + 1)] = a.bounds[static_cast<size_t>(i + 1)];
  }
  v[10] = a.segNormal[5];
  return v;
}

bool MeasureRawFrame(std::span<const uint8_t> bytes, size_t nodeCount, const DataFormat& format,
                     RawLevels* levels) {
  const size_t width = format.UnitBytes();
  const size_t nodes = std::min(nodeCount, width == 0 ? 0 : bytes.size() / width);
  if (nodes == 0 || width > 4) return false;
  int64_t max = INT64_MIN;
  int64_t min = INT64_MAX;
  int64_t sum = 0;
  for (size_t i = 0; i < nodes; ++i) {
    const uint8_t* v = bytes.data() + i * width;
    uint32_t value = 0;
    for (size_t b = 0; b < width; ++b) {
      // littleEndian: the last byte is the most significant.
      const uint8_t byte = format.littleEndian != 0 ? v[width - 1 - b] : v[b];
      value = value << 8 | byte;
    }
    const auto x = static_cast<int64_t>(std::min<uint32_t>(value, INT32_MAX));
    max = std::max(max, x);
    min = std::min(min, x);
    sum += x;
  }
  levels->max = static_cast<int32_t>(max);
  levels->min = static_cast<int32_t>(min);
  levels->average = static_cast<int32_t>(sum / static_cast<int64_t>(nodes));
  return true;
}
