#include "device/config/ScFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/device/CfgItemText.h"

namespace {

constexpr int kLength = 186;

// One item record as the files write it.
struct Rec {
  std::string address = "8050";
  std::string name = "Item";
  int dataLow = 0;
  int dataHigh = 7;
  int partLow = 0;
  int partHigh = 7;
  int type = 0;
  std::vector<std::string> optionLines;  // written after "comb:" as they are
  bool dataRange = true;                 // ends the option lines with "dataRange"
  std::string leaveOut;                  // a key not written

  Rec At(std::string a) const {
    Rec r = *this;
    r.address = std::move(a);
    return r;
  }
  Rec Named(std::string n) const {
    Rec r = *this;
    r.name = std::move(n);
    return r;
  }
  Rec Bits(int low, int high) const {
    Rec r = *this;
    r.dataLow = low;
    r.dataHigh = high;
    return r;
  }
  Rec HighByte() const {
    Rec r = *this;
    r.partLow = 8;
    r.partHigh = 15;
    return r;
  }
  Rec Type(int t) const {
    Rec r = *this;
    r.type = t;
    return r;
  }
  Rec Without(std::string key) const {
    Rec r = *this;
    r.leaveOut = std::move(key);
    return r;
  }
};

std::string RecordText(const Rec& r) {
  std::string out = "NO.1\n";
  const auto key = [&](const std::string& name, const std::string& value) {
    if (name != r.leaveOut) out += name + value + "\n";
  };
  key("addr,0x", r.address);
  key("name,", r.name);
  key("dataBitL,", std::to_string(r.dataLow));
  key("dataBitH,", std::to_string(r.dataHigh));
  key("paraBitL,", std::to_string(r.partLow));
  key("paraBitH,", std::to_string(r.partHigh));
  key("page,", "P");
  key("grp,", "G");
  key("ctrlType,", std::to_string(r.type));
  key("comb", ":");
  for (const std::string& line : r.optionLines) out += line + "\n";
  if (r.type == 1 && r.dataRange) out += "dataRange\n";
  return out;
}

std::string Text(const std::vector<Rec>& recs) {
  std::string out = "[ConfigInfo]\naddr,0x8047\n";
  for (const Rec& r : recs) out += RecordText(r);
  return out;
}

// The parsed items without the appended checksum item, described.
std::vector<std::string> Parsed(const std::string& text) {
  ScDescription d = ParseScText(text, kLength);
  EXPECT_TRUE(d.ok);
  if (!d.items.empty() && d.items.back().name == "Config_Chksum") d.items.pop_back();
  return DescribeItems(d.items);
}

CfgItem Item(const std::string& name, int bitAddress, int width, int kind = kCfgEdit,
             std::vector<std::string> options = {}, bool hex = false) {
  CfgItem item;
  item.name = name;
  item.bitAddress = bitAddress;
  item.bitWidth = width;
  item.controlKind = kind;
  item.options = std::move(options);
  item.hex = hex;
  item.page = "P";
  item.group = "G";
  return item;
}

struct ScCase {
  const char* what;
  std::vector<Rec> recs;
  std::vector<CfgItem> expected;
};

class ScParseTable : public ::testing::TestWithParam<ScCase> {};
void PrintTo(const ScCase& c, std::ostream* os) { *os << c.what; }

TEST_P(ScParseTable, ItemsAsDescribed) {
  EXPECT_EQ(Parsed(Text(GetParam().recs)), DescribeItems(GetParam().expected));
}

Rec Combo(std::vector<std::string> lines, bool dataRange = true) {
  Rec r;
  r.name = "Mode";
  r.dataHigh = 1;
  r.type = 1;
  r.optionLines = std::move(lines);
  r.dataRange = dataRange;
  return r;
}

Rec Next() {
  Rec r;
  r.address = "8051";
  r.name = "Next";
  return r;
}

const int kAt = 0x8050 * 8;

INSTANTIATE_TEST_SUITE_P(
    Records, ScParseTable,
    ::testing::Values(
        ScCase{"plain byte", {Rec{}}, {Item("Item", kAt, 8)}},
        ScCase{"bit field", {Rec{}.Bits(4, 6)}, {Item("Item", kAt + 4, 3)}},
        ScCase{"address zero dropped", {Rec{}.At("0000"), Next()}, {Item("Next", kAt + 8, 8)}},
        ScCase{"address FFFF dropped", {Rec{}.At("FFFF"), Next()}, {Item("Next", kAt + 8, 8)}},
        ScCase{"check box", {Rec{}.Bits(3, 3).Type(2)}, {Item("Item", kAt + 3, 1, kCfgCheckBox)}},
        ScCase{"hexadecimal edit", {Rec{}.Type(7)}, {Item("Item(H)", kAt, 8, kCfgEdit, {}, true)}},
        ScCase{"r_CH counts from bit 0",
               {Rec{}.Named("Driver_CH4").Bits(3, 7)},
               {Item("Driver_CH4", kAt, 8)}},
        ScCase{"low byte then high byte make one 16-bit item",
               {Rec{}.Named("X_Max"), Rec{}.At("8051").Named("X_Max").HighByte()},
               {Item("X_Max", kAt, 16)}},
        ScCase{"high byte first stands alone",
               {Rec{}.At("8051").Named("X_Max").HighByte()},
               {Item("X_Max", kAt, 16)}},
        ScCase{"high byte keeps an unrelated item before it",
               {Rec{}.At("8040").Named("Other"), Rec{}.At("8051").Named("X_Max").HighByte()},
               {Item("Other", 0x8040 * 8, 8), Item("X_Max", kAt, 16)}},
        ScCase{"width zero skipped", {Rec{}.Bits(5, 4), Next()}, {Item("Next", kAt + 8, 8)}},
        ScCase{"width above 16 skipped", {Rec{}.Bits(0, 16), Next()}, {Item("Next", kAt + 8, 8)}},
        ScCase{"width 16 kept", {Rec{}.Bits(0, 15)}, {Item("Item", kAt, 16)}},
        ScCase{"huge bit numbers skipped",
               {Rec{}.Bits(2000000000, 2000000003), Next()},
               {Item("Next", kAt + 8, 8)}},
        ScCase{
            "negative lowest bit skipped", {Rec{}.Bits(-1, 3), Next()}, {Item("Next", kAt + 8, 8)}},
        ScCase{"combo options by index with a gap",
               {Combo({"\t0,first", "\t1,second", "\t3,fourth"})},
               {Item("Mode", kAt, 2, kCfgComboBox, {"first", "second", "res", "fourth"})}},
        ScCase{"lower index inserts",
               {Combo({"\t0,a", "\t1,c", "\t1,b"})},
               {Item("Mode", kAt, 2, kCfgComboBox, {"a", "b", "c"})}},
        ScCase{"option text keeps commas and spaces",
               {Combo({"#0,on, slow", "#1,off"})},
               {Item("Mode", kAt, 2, kCfgComboBox, {"on, slow", "off"})}},
        ScCase{"huge index ends the list",
               {Combo({"\t0,a", "\t1000000000,b", "\t1,c"}), Next()},
               {Item("Mode", kAt, 2, kCfgComboBox, {"a"}), Item("Next", kAt + 8, 8)}},
        ScCase{"index 256 ends the list, 255 does not", {Combo({"\t255,z", "\t256,y"})}, {[] {
                 std::vector<std::string> options(255, "res");
                 options.push_back("z");
                 return Item("Mode", kAt, 2, kCfgComboBox, options);
               }()}},
        ScCase{"a full list ends",
               {Combo(std::vector<std::string>(300, "\t0,x"))},
               {Item("Mode", kAt, 2, kCfgComboBox, std::vector<std::string>(256, "x"))}},
        ScCase{"negative index ends the list",
               {Combo({"\t0,a", "\t-1,b"})},
               {Item("Mode", kAt, 2, kCfgComboBox, {"a"})}},
        ScCase{"missing dataRange stops at the next item",
               {Combo({"\t0,a"}, false), Next()},
               {Item("Mode", kAt, 2, kCfgComboBox, {"a"}), Item("Next", kAt + 8, 8)}},
        ScCase{"missing dataRange at the end of the text",
               {Combo({"\t0,a", "\t1,b"}, false)},
               {Item("Mode", kAt, 2, kCfgComboBox, {"a", "b"})}},
        ScCase{"combo without options is a decimal edit", {Combo({})}, {Item("Mode", kAt, 2)}},
        ScCase{"missing key skips only its item",
               {Rec{}.Without("grp,"), Next()},
               {Item("Next", kAt + 8, 8)}},
        ScCase{"missing address skips only its item",
               {Rec{}.Without("addr,0x"), Next()},
               {Item("Next", kAt + 8, 8)}},
        ScCase{"missing comb skips only its item",
               {Rec{}.Without("comb"), Next()},
               {Item("Next", kAt + 8, 8)}},
        ScCase{"item mark inside a name",
               {Rec{}.Named("Mode NO.2"), Next()},
               {Item("Mode NO.2", kAt, 8), Item("Next", kAt + 8, 8)}}),
    [](const auto& info) {
      std::string name;
      for (const char* c = info.param.what; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return name;
    });

TEST(ScFile, CrLfParsesLikeLf) {
  const std::string lf =
      Text({Combo({"\t0,a", "\t2,c"}), Rec{}.At("8051").Type(7), Rec{}.At("8052").Named("Sum_A")});
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const ScDescription a = ParseScText(lf, kLength);
  const ScDescription b = ParseScText(crlf, kLength);
  ASSERT_EQ(a.items.size(), 3u);
  EXPECT_EQ(DescribeItems(b.items), DescribeItems(a.items));
  EXPECT_EQ(b.baseAddress, 0x8047);
}

TEST(ScFile, BaseAddressIsTheFirstAddressValue) {
  ScDescription d = ParseScText(Text({Rec{}}), kLength);
  EXPECT_TRUE(d.hasBaseAddress);
  EXPECT_EQ(d.baseAddress, 0x8047);
  d = ParseScText(RecordText(Rec{}),
                  kLength);  // no section before the item: the item's own address
  EXPECT_EQ(d.baseAddress, 0x8050);
  d = ParseScText("nothing here\n", kLength);
  EXPECT_TRUE(d.ok);
  EXPECT_FALSE(d.hasBaseAddress);
  EXPECT_TRUE(d.items.empty());
}

TEST(ScFile, ChecksumItemIsAppendedUnlessTheLastItemNamesIt) {
  const ScDescription plain = ParseScText(Text({Rec{}}), kLength);
  ASSERT_EQ(plain.items.size(), 2u);
  const CfgItem& sum = plain.items.back();
  EXPECT_EQ(sum.name, "Config_Chksum");
  EXPECT_EQ(sum.bitAddress, (0x8047 + kLength) * 8);
  EXPECT_EQ(sum.bitWidth, 8);
  EXPECT_EQ(sum.page, "CheckSum");
  EXPECT_EQ(sum.group, "CheckSum");
  EXPECT_EQ(sum.controlKind, kCfgEdit);

  for (const char* name : {"Chksum", "CHECKSUM", "Sum_Low"}) {
    EXPECT_EQ(ParseScText(Text({Rec{}.Named(name)}), kLength).items.size(), 1u) << name;
  }
  // A checksum-named item that is not last does not count.
  EXPECT_EQ(ParseScText(Text({Rec{}.Named("Chksum"), Next()}), kLength).items.back().name,
            "Config_Chksum");
  // Nothing described: nothing appended.
  EXPECT_TRUE(ParseScText(Text({Rec{}.At("0")}), kLength).items.empty());
}

TEST(ScFile, StoredBytesDecode) {
  const std::string text = "addr,0x8047\n";
  EXPECT_EQ(DecodeScBytes(EncodeScBytes(text)), text);
  // Every byte is stored one higher, behind five header bytes.
  EXPECT_EQ(EncodeScBytes("A", "HDR"), std::string("IES11B"));
  EXPECT_EQ(DecodeScBytes("12345"), "");  // header only
  EXPECT_EQ(DecodeScBytes(""), "");
  // A stored 0x01 is a zero byte: the text ends there.
  EXPECT_EQ(DecodeScBytes(EncodeScBytes(std::string("ab\0cd", 5))), "ab");
  // A stored 0x00 is the text byte 0xFF, not an end (and no valid UTF-8: GBK rules, U+FFFD).
  EXPECT_EQ(DecodeScBytes(std::string("hhhhh") + '\0' + "b"),
            "\xEF\xBF\xBD"
            "a");
  // 8-bit text in the system's code page: GBK becomes UTF-8, UTF-8 stays.
  EXPECT_EQ(DecodeScBytes(EncodeScBytes("page,\xBB\xF9\xB1\xBE\n")), "page,基本\n");
  EXPECT_EQ(DecodeScBytes(EncodeScBytes("page,基本\n")), "page,基本\n");
}

TEST(ScFile, OversizedFilesAreRefused) {
  const ScDescription d = ParseScFile(std::string(kItemFileMaxBytes + 1, 'x'), kLength);
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.error, "打开UI文档失败");
  EXPECT_TRUE(ParseScFile(std::string(kItemFileMaxBytes, 'x'), kLength).ok);
}

}  // namespace
