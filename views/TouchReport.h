#pragma once
// The coordinate report the chip writes from its ready flag on while it
// reports touches (82 bytes):
//   byte 0        status: bits 0-3 touch count, bit 4 key data present
//   1 + 8i        point i: contact id (bits 0-6)
//   2 + 8i        x, low byte first
//   4 + 8i        y, low byte first
//   6 + 8i        size (pressure), low byte first
//   8 + 8i        reserved
//   1 + 8n        key bits (low nibble) after the n reported points
// The count nibble can say up to 15 but only 10 records fit, so at most 10
// points are taken and the key byte is looked for after them.

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr size_t kTouchReportBytes = 82;
inline constexpr int kMaxTouchPoints = 10;

struct ReportedPoint {
  int32_t id = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t size = 0;
  bool operator==(const ReportedPoint&) const = default;
};

struct TouchReport {
  int count = 0;          // points parsed into `points`, 0..10
  int reportedCount = 0;  // the status byte's count nibble, 0..15
  int keyBits = 0;        // bits 0-3: keys 0..3
  std::array<ReportedPoint, kMaxTouchPoints> points{};
};

// Parses the first `length` bytes of a report. A point record or key byte
// that lies beyond `length` is not read (the point is left out, the keys are
// 0), so a short buffer is never overrun.
TouchReport ParseTouchReport(const uint8_t* bytes, size_t length);
