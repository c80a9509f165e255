// The coordinate report parser: counts beyond the 10 records, the key byte
// after the points, and short buffers.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "views/TouchReport.h"

namespace {

using Bytes = std::array<uint8_t, kTouchReportBytes>;

// A report with `records` filled point records (id i+1, x 100+i, y 200+i,
// size 20+i) and the given status byte.
Bytes MakeReport(uint8_t status, int records) {
  Bytes b{};
  b[0] = status;
  for (int i = 0; i < records && i < kMaxTouchPoints; ++i) {
    const size_t at = 1 + 8 * static_cast<size_t>(i);
    b[at] = static_cast<uint8_t>(0x80 | (i + 1));  // bit 7 is not part of the id
    b[at + 1] = static_cast<uint8_t>(100 + i);
    b[at + 2] = 0x01;  // x high byte: 0x100
    b[at + 3] = static_cast<uint8_t>(200 + i);
    b[at + 5] = static_cast<uint8_t>(20 + i);
  }
  return b;
}

TEST(TouchReportTest, CountsPointsAndKeys) {
  struct Case {
    const char* name;
    uint8_t status;
    int records;
    size_t keyAt;  // where the key byte is put (0: none)
    uint8_t keyByte;
    int count, reportedCount, keyBits;
  } cases[] = {
      {"no touch", 0x80, 0, 0, 0, 0, 0, 0},
      {"two points", 0x82, 2, 0, 0, 2, 2, 0},
      {"key after two points", 0x92, 2, 17, 0xA5, 2, 2, 0x5},
      {"key without points", 0x90, 0, 1, 0x0C, 0, 0, 0xC},
      {"key bit clear ignores the byte", 0x82, 2, 17, 0x0F, 2, 2, 0},
      {"ten points, key in the last byte", 0x9A, 10, 81, 0x03, 10, 10, 0x3},
      {"count 11 parses 10", 0x8B, 10, 0, 0, 10, 11, 0},
      {"count 15 parses 10, key still in bounds", 0x9F, 10, 81, 0x08, 10, 15, 0x8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = MakeReport(c.status, c.records);
    if (c.keyAt) b[c.keyAt] = c.keyByte;
    const TouchReport r = ParseTouchReport(b.data(), b.size());
    EXPECT_EQ(c.count, r.count);
    EXPECT_EQ(c.reportedCount, r.reportedCount);
    EXPECT_EQ(c.keyBits, r.keyBits);
  }
}

TEST(TouchReportTest, DecodesPointFields) {
  const Bytes b = MakeReport(0x83, 3);
  const TouchReport r = ParseTouchReport(b.data(), b.size());
  ASSERT_EQ(3, r.count);
  EXPECT_EQ((ReportedPoint{1, 0x100 + 100, 200, 20}), r.points[0]);
  EXPECT_EQ((ReportedPoint{3, 0x100 + 102, 202, 22}), r.points[2]);
}

TEST(TouchReportTest, ShortBufferIsNeverOverrun) {
  // Held in a vector of exactly `length` bytes so a read past it shows under ASan.
  Bytes full = MakeReport(0x95, 5);
  full[41] = 0x05;
  struct Case {
    size_t length;
    int count;
    int keyBits;
  } cases[] = {{0, 0, 0},   {1, 0, 0},  {8, 1, 0} /* record 0 ends at byte 7 */,
               {7, 0, 0},   {39, 4, 0}, {41, 5, 0} /* key byte 41 lies outside */,
               {42, 5, 0x5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const std::vector<uint8_t> bytes(full.begin(), full.begin() + static_cast<long>(c.length));
    const TouchReport r = ParseTouchReport(bytes.data(), bytes.size());
    EXPECT_EQ(c.count, r.count);
    EXPECT_EQ(c.keyBits, r.keyBits);
  }
  EXPECT_EQ(0, ParseTouchReport(nullptr, 82).count);
}

}  // namespace
