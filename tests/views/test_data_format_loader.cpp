#include "views/DataFormatLoader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "device/ChipGlobals.h"
#include "tests/platform/ScratchDir.h"
#include "tests/views/RecordingLog.h"

namespace {

using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
using views_test::RecordingLog;

const std::filesystem::path kData = std::filesystem::path(KESTRANA_TEST_DATA_DIR) / "chipini";

DataFormat Format(uint16_t address, int32_t rows, int32_t cols, uint8_t unit, uint8_t isSigned,
                  uint8_t littleEndian) {
  DataFormat f;
  f.address = address;
  f.rows = rows;
  f.cols = cols;
  f.unit = unit;
  f.isSigned = isSigned;
  f.littleEndian = littleEndian;
  return f;
}

TEST(ReadDataFormats, AnIniWithoutTheKeysGivesTheDefaults) {
  RecordingLog log;
  const DataFormatSet set = ReadDataFormats(kData / "defaults.ini", &log);
  EXPECT_EQ(set.Of(DataKind::Raw), Format(0x8B98, 30, 42, 1, 0, 1));
  EXPECT_EQ(set.Of(DataKind::Diff), Format(0xBB10, 30, 42, 0, 0, 1));
  EXPECT_EQ(set.Of(DataKind::Observe), Format(0x81C0, 30, 42, 1, 0, 1));
  EXPECT_EQ(set.Of(DataKind::Stylus), Format(0xC530, 30, 42, 0, 0, 1));
  EXPECT_EQ(set.syncFlagAddr, 0x814E);
  EXPECT_EQ(set.stylusLength, 144);
  EXPECT_EQ(set, DefaultDataFormats());
  EXPECT_TRUE(log.Lines().empty()) << log.All();
  // A missing file reads as one without keys.
  EXPECT_EQ(ReadDataFormats(kData / "no_such_file.ini", nullptr), DefaultDataFormats());
}

TEST(ReadDataFormats, EveryKeySetKeepsTheStoredFlagInversion) {
  RecordingLog log;
  const DataFormatSet set = ReadDataFormats(kData / "every_key.ini", &log);
  // "bRawSigned"=0 -> signed, "bRefSigned"=1 -> unsigned, "bBigEndian"=1 -> big-endian;
  // the stylus takes the raw width (32 bit) and the difference sign.
  EXPECT_EQ(set.Of(DataKind::Raw), Format(0x9000, 20, 40, 2, 1, 0));
  EXPECT_EQ(set.Of(DataKind::Diff), Format(0xA100, 72, 44, 1, 1, 0));
  EXPECT_EQ(set.Of(DataKind::Observe), Format(0x8200, 10, 12, 0, 0, 0));
  EXPECT_EQ(set.Of(DataKind::Stylus), Format(0xC600, 20, 44, 2, 1, 0));
  EXPECT_EQ(set.syncFlagAddr, 0x824E);
  EXPECT_EQ(set.stylusLength, 236);
  EXPECT_TRUE(log.Lines().empty()) << log.All();
}

TEST(LoadDataFormats, FillsTheStoreAndSetsTheFlagAddress) {
  DataFormatStore store;
  const uint64_t before = store.Snapshot().version;
  g_wSyncFlagAddr = kDefaultSyncFlagAddr;
  LoadDataFormats(kData / "every_key.ini", store, nullptr);
  EXPECT_EQ(g_wSyncFlagAddr.load(), 0x824E);
  const DataFormatSnapshot snap = store.Snapshot();
  EXPECT_EQ(snap.set, ReadDataFormats(kData / "every_key.ini", nullptr));
  EXPECT_GT(snap.version, before);

  LoadDataFormats(kData / "defaults.ini", store, nullptr);
  EXPECT_EQ(g_wSyncFlagAddr.load(), 0x814E);
  EXPECT_EQ(store.Snapshot().set, DefaultDataFormats());
}

// Each case is a small chip INI; the kind named must come out as expected and
// the log must say why when a value was replaced.
TEST(ReadDataFormats, OutOfRangeValuesFallBackToTheKindDefaultWithALogLine) {
  struct Case {
    const char* text;
    DataKind kind;
    DataFormat expected;
    const char* logged;  // nullptr: nothing is logged
  };
  const Case cases[] = {
      {"[BasicData]\nRawUnitOfByte=1\n", DataKind::Raw, Format(0x8B98, 30, 42, 0, 0, 1), nullptr},
      {"[BasicData]\nRawUnitOfByte=3\n", DataKind::Stylus, Format(0xC530, 30, 42, 2, 0, 1),
       nullptr},
      {"[BasicData]\nRawUnitOfByte=0\n", DataKind::Raw, Format(0x8B98, 30, 42, 1, 0, 1),
       "RawUnitOfByte=0"},
      {"[BasicData]\nRawUnitOfByte=0\n", DataKind::Stylus, Format(0xC530, 30, 42, 0, 0, 1),
       "RawUnitOfByte=0"},
      {"[BasicData]\nDiffUnitOfByte=7\n", DataKind::Diff, Format(0xBB10, 30, 42, 0, 0, 1),
       "DiffUnitOfByte=7"},
      {"[BasicData]\nRefUnitOfByte=abc\n", DataKind::Observe, Format(0x81C0, 30, 42, 1, 0, 1),
       "RefUnitOfByte=0"},
      {"[BasicData]\nbRawSigned=0\n", DataKind::Raw, Format(0x8B98, 30, 42, 1, 1, 1), nullptr},
      {"[BasicData]\nbRawSigned=2\n", DataKind::Raw, Format(0x8B98, 30, 42, 1, 0, 1),
       "bRawSigned=2"},
      {"[BasicData]\nbBigEndian=1\n", DataKind::Observe, Format(0x81C0, 30, 42, 1, 0, 0), nullptr},
      {"[BasicData]\nRawDataAddr=8b98\n", DataKind::Raw, Format(0x8B98, 30, 42, 1, 0, 1), nullptr},
      {"[BasicData]\nRawDataAddr=0x8B98\n", DataKind::Raw, Format(0x8B98, 30, 42, 1, 0, 1),
       nullptr},
      {"[Option]\nRawDataRows=0\n", DataKind::Raw, Format(0x8B98, 30, 42, 1, 0, 1),
       "RawDataRows=0"},
      {"[Option]\nDiffDataCols=-5\n", DataKind::Diff, Format(0xBB10, 30, 42, 0, 0, 1),
       "DiffDataCols=-5"},
      // Beyond 32 bits: said as written, never wrapped into some other number.
      {"[Option]\nRawDataRows=1000000000000\n", DataKind::Raw, Format(0x8B98, 30, 42, 1, 0, 1),
       "RawDataRows=1000000000000 超出 32 位整数范围，改用 30"},
      {"[Option]\nRawDataRows=4294967297\n", DataKind::Raw, Format(0x8B98, 30, 42, 1, 0, 1),
       "RawDataRows=4294967297"},
      {"[BasicData]\nbBigEndian=4294967296\n", DataKind::Observe, Format(0x81C0, 30, 42, 1, 0, 0),
       "bBigEndian=4294967296 不是 0 或 1"},
      // 100 x 100 x 2 bytes is far over one slot.
      {"[Option]\nRawDataRows=100\nRawDataCols=100\n", DataKind::Raw,
       Format(0x8B98, 30, 42, 1, 0, 1), "超过 7040"},
      // 7040 bytes exactly fit; 3520 raw values too.
      {"[Option]\nRawDataRows=80\nRawDataCols=44\n", DataKind::Raw, Format(0x8B98, 80, 44, 1, 0, 1),
       nullptr},
      {"[Option]\nDiffDataRows=160\nDiffDataCols=44\n", DataKind::Diff,
       Format(0xBB10, 160, 44, 0, 0, 1), nullptr},
      // 8-bit raw: the bytes would fit, the statistics arrays would not.
      {"[BasicData]\nRawUnitOfByte=1\n[Option]\nRawDataRows=81\nRawDataCols=44\n", DataKind::Raw,
       Format(0x8B98, 30, 42, 0, 0, 1), "3564 个数值超过 3520"},
      // The DE7 grid with 32-bit raw values needs 12672 bytes.
      {"[BasicData]\nRawUnitOfByte=3\n[Option]\nRawDataRows=72\nRawDataCols=44\n", DataKind::Raw,
       Format(0x8B98, 30, 42, 2, 0, 1), "超过 7040"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    WriteBytes(dir / "chip.ini", c.text);
    RecordingLog log;
    const DataFormatSet set = ReadDataFormats(dir / "chip.ini", &log);
    EXPECT_EQ(set.Of(c.kind), c.expected) << c.text;
    if (c.logged == nullptr) {
      EXPECT_TRUE(log.Lines().empty()) << c.text << log.All();
    } else {
      EXPECT_THAT(log.All(), ::testing::HasSubstr(c.logged)) << c.text;
    }
  }
}

TEST(ReadDataFormats, StylusLengthIsBoundedByItsSlot) {
  struct Case {
    const char* value;
    int32_t expected;
    bool logged;
  };
  const Case cases[] = {
      {"0", 0, false}, {"928", 928, false}, {"929", 928, true}, {"-1", 0, true}, {"x", 0, false}};
  for (const Case& c : cases) {
    ScratchDir dir;
    WriteBytes(dir / "chip.ini", std::string("[Stylus]\nDataLen=") + c.value + "\n");
    RecordingLog log;
    EXPECT_EQ(ReadDataFormats(dir / "chip.ini", &log).stylusLength, c.expected) << c.value;
    EXPECT_EQ(!log.Lines().empty(), c.logged) << c.value << log.All();
  }
}

}  // namespace
