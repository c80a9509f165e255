#include "device/config/CfgText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct ParseCase {
  const char* what;
  std::string text;
  Bytes expected;
};

class CfgParseTable : public ::testing::TestWithParam<ParseCase> {};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.what; }

TEST_P(CfgParseTable, TokensGiveBytes) {
  const CfgParseResult result = ParseCfgText(GetParam().text);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.bytes, GetParam().expected);
  EXPECT_EQ(result.values, GetParam().expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, CfgParseTable,
    ::testing::Values(ParseCase{"written form", "0x00,0xab,0x7f,", {0x00, 0xAB, 0x7F}},
                      ParseCase{"only the last two characters count",
                                "0x1f,1F,ab1f,7,",
                                {0x1F, 0x1F, 0x1F, 0x07}},
                      ParseCase{"line break joins the next token", "0x12,\r\n0x34,", {0x12, 0x34}},
                      ParseCase{"empty runs are skipped", ",,,0x05,,", {0x05}},
                      ParseCase{"nothing but commas", ",,,", {}},
                      ParseCase{"blank token is zero", "0x01, ,0x02,", {0x01, 0x00, 0x02}},
                      ParseCase{"bad digits are skipped", "0xzz,0xg1,", {0x00, 0x01}},
                      ParseCase{"last token without comma", "0x12,0x34", {0x12, 0x34}},
                      ParseCase{"line break after the last comma is no value",
                                "0x12,0x34,\r\n",
                                {0x12, 0x34}},
                      ParseCase{"trailing tokens without digits are no values",
                                "0x12,\r\n, ,zz",
                                {0x12}},
                      ParseCase{"a digit after blanks keeps them",
                                "0x12, ,\r\n7",
                                {0x12, 0x00, 0x07}},
                      ParseCase{"text ends at the first zero byte",
                                std::string("0x01,0x02,\0"
                                            "0x03,",
                                            15),
                                {0x01, 0x02}},
                      // "5" then a GBK character: characters, not bytes, are counted.
                      ParseCase{"two characters, not two bytes", "0x5\xD6\xD0,", {0x05}},
                      ParseCase{"fewer tokens than a block", "0x09,", {0x09}},
                      ParseCase{"empty file", "", {}}),
    [](const auto& info) {
      std::string name;
      for (const char* c = info.param.what; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return name;
    });

TEST(CfgText, TokensPastTheBlockAreIgnored) {
  std::string text;
  for (int i = 0; i < 1100; ++i) text += "0x" + std::string(1, "0123456789abcdef"[i % 16]) + "1,";
  const CfgParseResult result = ParseCfgText(text);
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(result.bytes.size(), kCfgBlockMaxBytes);
  EXPECT_EQ(result.bytes[1023], 0xF1);  // 1023 % 16 == 15
  // They are counted all the same.
  EXPECT_EQ(result.values, 1100u);
  EXPECT_EQ(ParseCfgText(text + "\r\n").values, 1100u);
}

TEST(CfgText, FilesOverOneMebibyteAreRefused) {
  std::string text(kCfgFileMaxBytes, ',');
  EXPECT_TRUE(ParseCfgText(text).ok);  // the limit itself is fine
  text += ',';
  const CfgParseResult result = ParseCfgText(text);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "Open config file failed");
  EXPECT_TRUE(result.bytes.empty());
}

TEST(CfgText, FormatWritesOneLowerCaseTokenPerByte) {
  const Bytes block = {0x00, 0xAB, 0x7F};
  EXPECT_EQ(FormatCfgText(block, CfgTextEnding::kComma), "0x00,0xab,0x7f,");
  EXPECT_EQ(FormatCfgText(block, CfgTextEnding::kCommaAndZero),
            std::string("0x00,0xab,0x7f,\0", 16));
  EXPECT_EQ(FormatCfgText(Bytes(186), CfgTextEnding::kComma).size(), 930u);
  EXPECT_EQ(FormatCfgText(Bytes(186), CfgTextEnding::kCommaAndZero).size(), 931u);
}

TEST(CfgText, FormatThenParseGivesTheBlockBack) {
  std::mt19937 random(20240601);
  for (size_t length : {size_t{2}, size_t{186}, size_t{340}, kCfgBlockMaxBytes}) {
    Bytes block(length);
    for (uint8_t& byte : block) byte = static_cast<uint8_t>(random());
    for (CfgTextEnding ending : {CfgTextEnding::kComma, CfgTextEnding::kCommaAndZero}) {
      const CfgParseResult result = ParseCfgText(FormatCfgText(block, ending));
      ASSERT_TRUE(result.ok);
      EXPECT_EQ(result.bytes, block) << "length " << length;
    }
  }
}

}  // namespace
