// The active pen's value rows: value width from the stylus unit, byte order,
// the row profile's offset, and values cut to the bytes actually read.

#include <gtest/gtest.h>

#include <vector>

#include "views/DataFormatStore.h"
#include "views/StylusValues.h"

namespace {

using V = std::vector<uint32_t>;

TEST(StylusValuesTest, DecodesBothProfiles) {
  // 144 bytes: bytes 0.. hold 0x0102, 0x0304, ... ; row profile at 84 and 92.
  std::vector<uint8_t> bytes(144, 0);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  struct Case {
    const char* name;
    uint8_t unit;
    uint8_t littleEndian;
    int32_t rows, cols;
    size_t rowOffset;
    size_t length;
    V columns, rows_;
  } cases[] = {
      {"unit 0 shows nothing", 0, 1, 2, 3, 84, 144, {}, {}},
      {"16-bit little-endian", 1, 1, 2, 3, 84, 144, {0x0201, 0x0403, 0x0605}, {0x5655, 0x5857}},
      {"16-bit big-endian", 1, 0, 2, 3, 84, 144, {0x0102, 0x0304, 0x0506}, {0x5556, 0x5758}},
      {"row profile further on", 1, 1, 1, 1, 92, 144, {0x0201}, {0x5E5D}},
      {"32-bit values", 2, 1, 1, 2, 84, 144, {0x04030201, 0x08070605}, {0x58575655}},
      {"rows cut to the bytes read",
       1,
       1,
       30,
       3,
       84,
       88,
       {0x0201, 0x0403, 0x0605},
       {0x5655, 0x5857}},
      {"columns cut, rows beyond the bytes read",
       1,
       1,
       30,
       42,
       84,
       7,
       {0x0201, 0x0403, 0x0605},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataFormat stylus;
    stylus.unit = c.unit;
    stylus.littleEndian = c.littleEndian;
    const StylusProfiles p =
        DecodeStylusProfiles(bytes.data(), c.length, stylus, c.rows, c.cols, c.rowOffset);
    EXPECT_EQ(c.columns, p.columns);
    EXPECT_EQ(c.rows_, p.rows);
  }
}

TEST(StylusValuesTest, ReadLengthStaysInsideTheSlot) {
  EXPECT_EQ(144u, StylusReadLength(144, kStylusSlotBytes));
  EXPECT_EQ(928u, StylusReadLength(928, kStylusSlotBytes));
  EXPECT_EQ(928u, StylusReadLength(5000, kStylusSlotBytes));
  EXPECT_EQ(0u, StylusReadLength(-1, kStylusSlotBytes));
  EXPECT_EQ(92u, StylusRowProfileOffset("RO7387Z"));
  EXPECT_EQ(84u, StylusRowProfileOffset("RO9110V"));
}

}  // namespace
