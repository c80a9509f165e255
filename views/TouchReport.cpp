#include "views/TouchReport.h"

#include <algorithm>

#include "views/ValueDecode.h"

namespace {

constexpr size_t kPointStride = 8;
constexpr uint8_t kCountMask = 0x0F;
constexpr uint8_t kKeyPresent = 0x10;

// Coordinates and sizes are unsigned 16-bit values, low byte first.
int32_t Le16(const uint8_t* p) { return DecodeValue(p, 2, false, true); }

}  // namespace

TouchReport ParseTouchReport(const uint8_t* bytes, size_t length) {
  TouchReport report;
  if (bytes == nullptr || length == 0) return report;

  const uint8_t status = bytes[0];
  report.reportedCount = status & kCountMask;
  const int wanted = std::min(report.reportedCount, kMaxTouchPoints);
  for (int i = 0; i < wanted; ++i) {
    const size_t at = 1 + kPointStride * static_cast<size_t>(i);
    if (at + 7 > length) break;  // id, x, y and size must all be inside
    ReportedPoint& point = report.points[static_cast<size_t>(report.count++)];
    point.id = bytes[at] & 0x7F;
    point.x = Le16(bytes + at + 1);
    point.y = Le16(bytes + at + 3);
    point.size = Le16(bytes + at + 5);
  }

  if (status & kKeyPresent) {
    const size_t keyAt = 1 + kPointStride * static_cast<size_t>(wanted);
    if (keyAt < length) report.keyBits = bytes[keyAt] & 0x0F;
  }
  return report;
}
