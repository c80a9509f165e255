#include "views/ValueDecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(DecodeValue, WidthsSignsAndByteOrders) {
  struct Case {
    std::vector<uint8_t> bytes;  // as they lie in the frame
    bool isSigned;
    bool littleEndian;
    int32_t expected;
  };
  const Case cases[] = {
      // 8 bit
      {{0x7F}, true, true, 127},
      {{0x80}, true, true, -128},
      {{0xFF}, true, false, -1},
      {{0xFF}, false, true, 255},
      // 16 bit: a low byte >= 0x80 is not a sign
      {{0x01, 0x80}, true, false, 384},
      {{0xFF, 0x38}, true, false, -200},
      {{0x38, 0xFF}, true, true, -200},
      {{0x80, 0x00}, true, true, 128},
      {{0x00, 0x80}, true, true, -32768},
      {{0x00, 0x80}, false, true, 32768},
      {{0x00, 0x80}, false, false, 128},
      {{0xFF, 0xFF}, false, true, 65535},
      {{0xFF, 0x7F}, true, true, 32767},
      // 32 bit: the boundaries
      {{0xFF, 0xFF, 0xFF, 0x7F}, true, true, INT32_MAX},
      {{0x7F, 0xFF, 0xFF, 0xFF}, true, false, INT32_MAX},
      {{0x00, 0x00, 0x00, 0x80}, true, true, INT32_MIN},
      {{0x80, 0x00, 0x00, 0x00}, true, false, INT32_MIN},
      {{0xFF, 0xFF, 0xFF, 0xFF}, true, true, -1},
      {{0xFF, 0xFF, 0xFF, 0xFF}, false, true, -1},  // the buffers hold signed 32 bit
      {{0x80, 0x00, 0x00, 0x00}, false, true, 128},
      {{0x12, 0x34, 0x56, 0x78}, false, false, 0x12345678},
      {{0x12, 0x34, 0x56, 0x78}, false, true, 0x78563412},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeValue(c.bytes.data(), c.bytes.size(), c.isSigned, c.littleEndian), c.expected)
        << "width " << c.bytes.size() << " signed " << c.isSigned << " little " << c.littleEndian
        << " first byte " << int{c.bytes[0]};
  }
}

TEST(DecodeValue, WidthOutsideOneToFourGivesZero) {
  const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(DecodeValue(bytes, 0, false, true), 0);
  EXPECT_EQ(DecodeValue(bytes, 5, false, true), 0);
}

TEST(DecodeFrame, StepsByUnitAndStopsAtTheShortestLimit) {
  DataFormat format;
  format.unit = 1;
  format.isSigned = 1;
  format.littleEndian = 0;
  const uint8_t bytes[] = {0xFF, 0x38, 0x01, 0x80, 0x00, 0x05, 0x7F};  // 3 whole values + 1 byte
  struct Case {
    size_t byteCount;
    size_t nodeCount;
    size_t capacity;
    std::vector<int32_t> expected;
  };
  const Case cases[] = {
      {sizeof bytes, 10, 10, {-200, 384, 5}},  // the odd last byte is no value
      {sizeof bytes, 2, 10, {-200, 384}},
      {sizeof bytes, 10, 1, {-200}},
      {3, 10, 10, {-200}},
      {0, 10, 10, {}},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> out(10, 0x55);
    const size_t n = DecodeFrame(bytes, c.byteCount, format, c.nodeCount, out.data(), c.capacity);
    out.resize(n);
    EXPECT_EQ(out, c.expected) << c.byteCount << " bytes, " << c.nodeCount << " nodes";
  }
  format.unit = 3;  // no such width
  int32_t out[4] = {};
  EXPECT_EQ(DecodeFrame(bytes, sizeof bytes, format, 4, out, 4), 0u);
}

}  // namespace
