// The open/short test's parameter blocks and how the chip's records become
// lines with resistances.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#include "moduletest/engine/ShortTestA.h"
#include "moduletest/engine/ShortTestB.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

void PutBigEndian(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value >> 8);
  bytes[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

// A drive record of channel a with base b and one drive value at j.
std::vector<uint8_t> TxRecord(int a, uint16_t base, int j, uint16_t v) {
  std::vector<uint8_t> r(kTxRecordBytes);
  r[0] = static_cast<uint8_t>(a | 0x80);
  PutBigEndian(r, 1, base);
  PutBigEndian(r, 3 + 2 * static_cast<size_t>(j), v);
  return r;
}

TEST(ShortBlockA, ThresholdsMapsAndChecksum) {
  ShortMapsA maps;
  std::reverse(maps.drive.begin(), maps.drive.end());
  const ShortBlockA block = BuildShortBlockA(50, 128, 0x1234, maps);
  EXPECT_THAT(std::vector<uint8_t>(block.begin(), block.begin() + 6),
              ElementsAre(0, 50, 0, 128, 0x12, 0x34));
  EXPECT_EQ(41, block[6]);
  EXPECT_EQ(0, block[47]);
  EXPECT_EQ(0, block[48]);
  EXPECT_EQ(29, block[77]);
  EXPECT_EQ(0, std::accumulate(block.begin(), block.end(), 0) % 256);
}

TEST(ShortBlockB, ConstantsAndWordChecksum) {
  const ShortBlockB block = BuildShortBlockB();
  EXPECT_EQ(72, block[72]);
  EXPECT_EQ(0xFF, block[73]);
  EXPECT_EQ(0xFF, block[75]);
  EXPECT_EQ(0, block[76]);
  EXPECT_EQ(44, block[120]);
  EXPECT_EQ(0xFF, block[121]);
  EXPECT_EQ(100, block[124] | block[125] << 8);
  EXPECT_EQ(75, block[156] | block[157] << 8);
  EXPECT_EQ(0, block[158]);
  uint16_t sum = 0;
  for (size_t i = 0; i < block.size(); i += 2)
    sum = static_cast<uint16_t>(sum + (block[i] | block[i + 1] << 8));
  EXPECT_EQ(0, sum);
}

TEST(ShortRecords, DrivePairResistanceBounds) {
  const ShortMapsA maps;
  struct Case {
    int a, j;
    uint16_t base, v;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      // Same group: R = B x 40 / v - 40.
      {3, 4, 10000, 2857, {"Tx3与Tx4短路，阻值为：100K欧"}},
      {3, 4, 10000, 50, {}},                               // at the floor: not evaluated
      {3, 4, 1000, 51, {"Tx3与Tx4短路，阻值为：744K欧"}},  // just over the floor
      {3, 4, 10000, 476, {"Tx3与Tx4短路，阻值为：800K欧"}},
      {3, 4, 10000, 475, {}},                             // 842 - 40 = 802
      {3, 4, 100, 1000, {"Tx3与Tx4短路，阻值为：0K欧"}},  // below 0 counts as 0
      // Other groups: R = B x 60 / v - 60.
      {14, 15, 10000, 3750, {"Tx14与Tx15短路，阻值为：100K欧"}},
      // Chip channel 26 does not exist: 26 is looked up as 27, 41 as 42 (no
      // such panel channel).
      {26, 27, 10000, 2857, {"Tx27与Tx28短路，阻值为：100K欧"}},
      {30, 41, 10000, 2857, {"Tx31与Tx255短路，阻值为：100K欧"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.lines, TxRecordLines(TxRecord(c.a, c.base, c.j, c.v).data(), maps))
        << c.a << "/" << c.j << " v=" << c.v;
  }
}

TEST(ShortRecords, DriveToSenseOddAndEvenChannels) {
  std::vector<uint8_t> r(kTxRecordBytes);
  r[0] = 2;
  PutBigEndian(r, 1, 10000);
  PutBigEndian(r, 87 + 2 * 4, 3750);  // even: 10000 x 60 / 3750 - 60 = 100
  PutBigEndian(r, 87 + 2 * 5, 3750);  // odd: - 40 = 120
  EXPECT_THAT(TxRecordLines(r.data(), ShortMapsA()),
              ElementsAre("Tx2与Rx4短路，阻值为：100K欧", "Tx2与Rx5短路，阻值为：120K欧"));
}

TEST(ShortRecords, SenseRecordsUseTheSenseMap) {
  ShortMapsA maps;
  maps.sense[7] = 1;  // chip sense channel 1 sits at panel position 7
  maps.sense[1] = 9;
  std::vector<uint8_t> r(kRxRecordBytes);
  r[0] = 1;
  PutBigEndian(r, 1, 10000);
  PutBigEndian(r, 3 + 2 * 2, 3750);
  EXPECT_THAT(RxRecordLines(r.data(), maps), ElementsAre("Rx7与Rx2短路，阻值为：100K欧"));
}

TEST(ShortRecords, SupplyShortsBothEncodingsAndNothingMeasured) {
  std::vector<uint8_t> d(kSupplyRecordBytes);
  PutBigEndian(d, 2 * 5, 376);             // 52662.85 / 376 - 40 = 100.06
  PutBigEndian(d, 2 * 43, 0x8000 | 1200);  // the other encoding
  PutBigEndian(d, 2 * 6, 0x8000);          // 0 with bit 15: nothing measured
  const auto lines = SupplyLines(d.data(), ShortMapsA());
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("TX5与AVDD短路，阻值为：100K欧", lines[0]);
  // x = ((1200 / 0.9) x 0.7 / 1024 / 2.4) / 40 = 0.009495, R = 1 / x - 40 = 65.3
  EXPECT_EQ("RX1与AVDD短路，阻值为：65K欧", lines[1]);
}

TEST(ShortEntriesB, PiecesOfTheLine) {
  ShortTablesB tables;
  tables.sense = {5, 3};
  tables.drive = {9, 4};
  struct Case {
    uint8_t entry[4];
    const char* line;
  };
  const Case cases[] = {
      {{0xF0, 3, 0, 10}, " Rx1与GND之间的阻值为:10千欧"},
      {{0xF1, 0x84, 1, 0}, " Tx1与AVDD之间的阻值为:256千欧"},
      {{0x89, 5, 0, 7}, " Rx0与Tx0之间的阻值为:7千欧"},
      {{7, 0x80, 0, 7}, " Tx#0与Rx#7之间的阻值为:7千欧"},  // not in the tables
  };
  for (const Case& c : cases) EXPECT_EQ(c.line, ShortEntryLine(c.entry, tables));
}

}  // namespace
