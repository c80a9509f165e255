#include "device/HexStrToWord.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct HexCase {
  std::string text;
  uint16_t expected;
};

class HexStrToWordTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexStrToWordTest, ReadsHexDigitsAndSkipsTheRest) {
  EXPECT_EQ(HexStrToWord(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, HexStrToWordTest,
    ::testing::Values(HexCase{"0x8140", 0x8140}, HexCase{"8140", 0x8140}, HexCase{"0X814E", 0x814E},
                      HexCase{"0x80d5", 0x80D5},  // lower case counts
                      HexCase{"a1b2", 0xA1B2}, HexCase{"aBcD", 0xABCD}, HexCase{" 1 2 ", 0x0012},
                      HexCase{"8 1 4 E", 0x814E},
                      HexCase{"80G5", 0x0805},   // other letters are skipped
                      HexCase{"12345", 0x2345},  // wraps: only the last four digits stay
                      HexCase{"0x1FFFF", 0xFFFF}, HexCase{"", 0}, HexCase{"G", 0}, HexCase{"0x", 0},
                      HexCase{"xyz-+", 0},
                      HexCase{"\xE5\x9C\xB0\xE5\x9D\x80 0x1A", 0x1A},  // UTF-8 label bytes skipped
                      HexCase{std::string{'1', '\0', '2'}, 0x12}));    // embedded NUL skipped

}  // namespace
