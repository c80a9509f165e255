#include "device/config/UiFile.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "tests/device/CfgItemText.h"
#include "device/config/ScFile.h"

namespace {

CfgItem Item(const std::string& name, int bitAddress, int width, int kind = kCfgEdit,
             std::vector<std::string> options = {}) {
  CfgItem item;
  item.name = name;
  item.bitAddress = bitAddress;
  item.bitWidth = width;
  item.controlKind = kind;
  item.options = std::move(options);
  return item;
}

struct UiCase {
  const char* what;
  std::string text;
  uint16_t base;
  std::vector<CfgItem> expected;
};

class UiParseTable : public ::testing::TestWithParam<UiCase> {};
void PrintTo(const UiCase& c, std::ostream* os) { *os << c.what; }

TEST_P(UiParseTable, ItemsAsDescribed) {
  const UiDescription d = ParseUiFile(GetParam().text, "a.ui");
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.baseAddress, GetParam().base);
  EXPECT_EQ(DescribeItems(d.items), DescribeItems(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UiParseTable,
    ::testing::Values(
        UiCase{"header only", "BaseAddress=0x8047\n", 0x8047, {}},
        UiCase{"header with CR LF",
               "BaseAddress=0x8047\r\n8050,A,0,8,EDIT\r\n",
               0x8047,
               {Item("A", 0x8050 * 8, 8)}},
        UiCase{"header with trailing blanks", "BaseAddress,8050  \n", 0x8050, {}},
        UiCase{"header without line end", "BaseAddress 8047", 0x8047, {}},
        UiCase{"bit field",
               "BaseAddress=0x8047\n8056,Mode,3,5,EDIT\n",
               0x8047,
               {Item("Mode", 0x8056 * 8 + 3, 5)}},
        UiCase{"width is hexadecimal",
               "BaseAddress=0x8047\n8056,W,0,10,EDIT\n",
               0x8047,
               {Item("W", 0x8056 * 8, 16)}},
        UiCase{"long address keeps its last four characters",
               "BaseAddress=0x8047\n128056,A,0,8,EDIT\n",
               0x8047,
               {Item("A", 0x8056 * 8, 8)}},
        UiCase{"spaces are removed",
               "BaseAddress=0x8047\n 8050 , My Name , 0 , 1 , CHECK_BOX \n",
               0x8047,
               {Item("MyName", 0x8050 * 8, 1, kCfgCheckBox)}},
        UiCase{"combo box options in order",
               "BaseAddress=0x8047\n8050,Mode,0,2,COMBOBOX,Off,Low,High\n",
               0x8047,
               {Item("Mode", 0x8050 * 8, 2, kCfgComboBox, {"Off", "Low", "High"})}},
        UiCase{"combo box with 256 options",
               [] {
                 std::string line = "BaseAddress=0x8047\n8050,A,0,8,COMBOBOX";
                 for (int i = 0; i < 256; ++i) line += ",o";
                 return line;
               }(),
               0x8047,
               {Item("A", 0x8050 * 8, 8, kCfgComboBox, std::vector<std::string>(256, "o"))}},
        UiCase{"combo box without options is a decimal edit",
               "BaseAddress=0x8047\n8050,Mode,0,2,COMBOBOX\n",
               0x8047,
               {Item("Mode", 0x8050 * 8, 2)}},
        UiCase{"control words in any case",
               "BaseAddress=0x8047\n8050,A,0,8,edit\n",
               0x8047,
               {Item("A", 0x8050 * 8, 8)}},
        UiCase{"blank lines are skipped",
               "BaseAddress=0x8047\n\n  \n8050,A,0,8,EDIT\n\r\n",
               0x8047,
               {Item("A", 0x8050 * 8, 8)}},
        UiCase{"width 0 and above 16 are skipped",
               "BaseAddress=0x8047\n8050,A,0,0,EDIT\n8050,B,0,11,EDIT\n8050,C,0,10,EDIT\n",
               0x8047,
               {Item("C", 0x8050 * 8, 16)}},
        UiCase{"lowest bit above 15 is skipped",
               "BaseAddress=0x8047\n8050,A,10,1,EDIT\n8050,B,F,1,EDIT\n",
               0x8047,
               {Item("B", 0x8050 * 8 + 15, 1)}},
        UiCase{"GBK names become UTF-8",
               "BaseAddress=0x8047\n8050,\xBB\xF9\xB1\xBE,0,8,EDIT\n",
               0x8047,
               {Item("基本", 0x8050 * 8, 8)}}),
    [](const auto& info) {
      std::string name;
      for (const char* c = info.param.what; *c; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      }
      return name;
    });

struct UiErrorCase {
  const char* what;
  std::string text;
  std::string error;
};

class UiErrorTable : public ::testing::TestWithParam<UiErrorCase> {};
void PrintTo(const UiErrorCase& c, std::ostream* os) { *os << c.what; }

TEST_P(UiErrorTable, LoadEndsWithAClearMessage) {
  const UiDescription d = ParseUiFile(GetParam().text, "RO911_a.ui");
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.error, GetParam().error);
  EXPECT_TRUE(d.items.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, UiErrorTable,
    ::testing::Values(
        UiErrorCase{"no header", "8050,A,0,8,EDIT\n", "RO911_a.ui文件不是指定的ui文件"},
        UiErrorCase{"empty file", "", "RO911_a.ui文件不是指定的ui文件"},
        UiErrorCase{"header on line 2", "\nBaseAddress=0x8047\n", "RO911_a.ui文件不是指定的ui文件"},
        UiErrorCase{"four fields", "BaseAddress=0x8047\n8050,A,0,8,EDIT\n8051,B,0,8\n",
                    "RO911_a.ui: 第3行格式错误"},
        UiErrorCase{"unknown control word", "BaseAddress=0x8047\n8050,A,0,8,SLIDER\n",
                    "RO911_a.ui: 第2行格式错误"},
        UiErrorCase{"width without digits", "BaseAddress=0x8047\n8050,A,0,x,EDIT\n",
                    "RO911_a.ui: 第2行格式错误"},
        UiErrorCase{"address without digits", "BaseAddress=0x8047\n\n,A,0,8,EDIT\n",
                    "RO911_a.ui: 第3行格式错误"},
        UiErrorCase{"combo box with 257 options",
                    [] {
                      std::string line = "BaseAddress=0x8047\n8050,A,0,8,COMBOBOX";
                      for (int i = 0; i < 257; ++i) line += ",o";
                      return line;
                    }(),
                    "RO911_a.ui: 第2行格式错误"},
        UiErrorCase{"oversized file", std::string(kItemFileMaxBytes + 1, '\n'), "打开UI文档失败"}),
    [](const auto& info) {
      std::string name;
      for (const char* c = info.param.what; *c; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      }
      return name;
    });

}  // namespace
