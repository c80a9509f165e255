// The Intel HEX reader: one table of texts with the image or the error each
// must give, and the file wrapper's own refusals.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device/UserMessageError.h"
#include "programming/bridgefw/IntelHex.h"
#include "sim/ch55x/IntelHexWriter.h"
#include "tests/platform/ScratchDir.h"

namespace {

using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
using sim::HexEndOfFile;
using sim::HexRecord;

const std::string kCrlf = "\r\n";
const std::string kFormat(kHexFormatErrorText);
const std::string kTooLarge(kHexTooLargeText);

std::string Lines(const std::vector<std::string>& records, const std::string& eol = kCrlf) {
  std::string text;
  for (const std::string& r : records) text += r + eol;
  return text;
}

struct HexCase {
  const char* name;
  std::string text;
  std::optional<size_t> length;          // expected length; nullopt = error
  std::map<size_t, uint8_t> bytes = {};  // image bytes to check
  std::string error = {};
};

std::vector<HexCase> Cases() {
  const std::string d1 = HexRecord(0x00, 0x0000, {0x02, 0x00, 0x33});
  const std::string d2 = HexRecord(0x00, 0x0010, {0xAA, 0xBB});
  const std::string eof = HexEndOfFile();
  return {
      {"TwoDataRecordsCrlf", Lines({d1, d2, eof}), 0x12,
       {{0, 0x02}, {2, 0x33}, {3, 0x00}, {0x10, 0xAA}, {0x11, 0xBB}}},
      {"LowerCaseDigits", Lines({":0300000002a03328", eof}), 3, {{1, 0xA0}, {2, 0x33}}},
      {"LfOnlyNoFinalLineEnd", d1 + "\n" + d2 + "\n" + eof, 0x12, {{0x10, 0xAA}}},
      {"BytesAfterEofIgnored", Lines({d1, eof}) + "garbage", 3, {{0, 0x02}}},
      {"LaterRecordWins", Lines({d1, HexRecord(0x00, 0x0001, {0x77}), eof}), 3, {{1, 0x77}}},
      {"StartRecordsIgnored",
       Lines({HexRecord(0x03, 0, {0, 0, 0x12, 0x34}), HexRecord(0x05, 0, {0, 0, 0, 0}), d1, eof}),
       3, {{0, 0x02}}},
      {"SegmentAddress", Lines({HexRecord(0x02, 0, {0x10, 0x00}), d2, eof}), 0x10012,
       {{0x10010, 0xAA}, {0x10, 0x00}}},
      {"LinearAddressShortFile", Lines({HexRecord(0x04, 0, {0x00, 0x01}), d2, eof}), 0x10012,
       {{0x10010, 0xAA}, {0x10011, 0xBB}}},
      {"ImageEndsAtCapacity",
       Lines({HexRecord(0x04, 0, {0x00, 0x01}), HexRecord(0x00, 0xFFFF, {0x5A}), eof}), 0x20000,
       {{0x1FFFF, 0x5A}}},
      {"LengthFivePadded", Lines({HexRecord(0x00, 0, {1, 2, 3, 4, 5}), eof}), 5,
       {{4, 5}, {5, 0}, {6, 0}, {7, 0}}},
      {"EmptyText", "", std::nullopt, {}, kFormat},
      {"ChecksumOffByOne", Lines({HexRecord(0x00, 0, {1, 2}, 1), eof}), std::nullopt, {}, kFormat},
      {"FirstCharNotColon", Lines({" " + d1, eof}), std::nullopt, {}, kFormat},
      {"BlankLineBetweenRecords", Lines({d1, "", eof}), std::nullopt, {}, kFormat},
      {"CrOnlyLineEnd", d1 + "\r" + eof, std::nullopt, {}, kFormat},
      {"TruncatedLastRecord", d1 + kCrlf + eof.substr(0, 9), std::nullopt, {}, kFormat},
      {"NoEofRecord", Lines({d1, d2}), std::nullopt, {}, kFormat},
      {"UnknownType06", Lines({HexRecord(0x06, 0, {}), eof}), std::nullopt, {}, kFormat},
      {"NonHexInData", Lines({":03000000020G3378", eof}), std::nullopt, {}, kFormat},
      {"NonHexInCount", Lines({":0x000000020033", eof}), std::nullopt, {}, kFormat},
      {"Type04CountOne", Lines({HexRecord(0x04, 0, {0x01}), eof}), std::nullopt, {}, kFormat},
      {"Type04CountThree", Lines({HexRecord(0x04, 0, {0, 1, 0}), eof}), std::nullopt, {}, kFormat},
      {"Type02CountOne", Lines({HexRecord(0x02, 0, {0x10}), eof}), std::nullopt, {}, kFormat},
      {"Type03CountTwo", Lines({HexRecord(0x03, 0, {0, 0}), eof}), std::nullopt, {}, kFormat},
      {"Type05CountFive", Lines({HexRecord(0x05, 0, {0, 0, 0, 0, 0}), eof}), std::nullopt, {},
       kFormat},
      {"ImageEndPastCapacity",
       Lines({HexRecord(0x04, 0, {0x00, 0x01}), HexRecord(0x00, 0xFFFF, {1, 2}), eof}),
       std::nullopt, {}, kTooLarge},
      {"HighLinearAddressDoesNotWrap",
       Lines({HexRecord(0x04, 0, {0xFF, 0xFF}), HexRecord(0x02, 0, {0xFF, 0xFF}),
              HexRecord(0x00, 0xFFFF, {1}), eof}),
       std::nullopt, {}, kTooLarge},
  };
}

TEST(IntelHex, ParseTable) {
  for (const HexCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    if (!c.length) {
      try {
        ParseIntelHex(c.text);
        ADD_FAILURE() << "parsed";
      } catch (const UserMessageError& e) {
        EXPECT_EQ(e.what(), c.error);
      }
      continue;
    }
    const HexImage image = ParseIntelHex(c.text);
    EXPECT_EQ(image.length, *c.length);
    EXPECT_EQ(image.bytes.size(), (*c.length + 3) / 4 * 4);
    for (const auto& [address, value] : c.bytes) {
      ASSERT_LT(address, image.bytes.size());
      EXPECT_EQ(image.bytes[address], value) << "at " << address;
    }
  }
}

TEST(IntelHex, FileRefusals) {
  ScratchDir dir;
  const auto missing = dir / "missing.hex";
  const auto empty = dir / "empty.hex";
  WriteBytes(empty, "");
  const struct {
    std::filesystem::path path;
    std::string error;
  } cases[] = {
      {missing, missing.string() + std::string(kOpenFailedSuffix)},
      {dir.path(), dir.path().string() + std::string(kOpenFailedSuffix)},
      {empty, empty.string() + std::string(kHexEmptySuffix)},
  };
  for (const auto& c : cases) {
    try {
      ReadHexFile(c.path);
      ADD_FAILURE() << c.path << " read";
    } catch (const UserMessageError& e) {
      EXPECT_EQ(e.what(), c.error);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing)) << "opening must never create the file";
}

TEST(IntelHex, ReadsFile) {
  ScratchDir dir;
  WriteBytes(dir / "fw.hex", Lines({HexRecord(0x00, 0x0004, {9, 8, 7}), HexEndOfFile()}));
  const HexImage image = ReadHexFile(dir / "fw.hex");
  EXPECT_EQ(image.length, 7u);
  EXPECT_EQ(image.bytes, (std::vector<uint8_t>{0, 0, 0, 0, 9, 8, 7, 0}));
}

}  // namespace
