// The axis commands on the simulated chip: read, change, send.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/device/ConfigTestUtil.h"

namespace {

using sim::ChipFamily;
using testing::ElementsAre;

constexpr size_t kDriveMap = 142;  // 0x80d5 - 0x8047
constexpr size_t kSenseMap = 112;  // 0x80B7 - 0x8047

class ConfigAxisTest : public ConfigTest {
 protected:
  std::vector<uint8_t> StoredWithMaps(std::vector<uint8_t> drive, std::vector<uint8_t> sense) {
    std::vector<uint8_t> block = PatternBlock(186);
    std::copy(drive.begin(), drive.end(), block.begin() + kDriveMap);
    std::copy(sense.begin(), sense.end(), block.begin() + kSenseMap);
    return WithValidSums(ChipFamily::RU9, block);
  }
  std::vector<uint8_t> ChipBytes(size_t offset, size_t n) {
    const std::vector<uint8_t> block = ChipBlock();
    return {block.begin() + offset, block.begin() + offset + n};
  }
};

TEST_F(ConfigAxisTest, MirroringReversesTheMapInTheChip) {
  WriteChipIni(std::string(kRu9ChipIni) +
               "[Channel]\r\nDrvMaxNum=5\r\nSenMaxNum=4\r\nDrvMap=3,1,2\r\nSenMap=9,8,7,6\r\n");
  ConnectChip(ChipFamily::RU9, StoredWithMaps({3, 1, 2, 0xFF, 0xFF}, {9, 8, 7, 6}));
  CConfig cfg;
  CfgItem channel;
  channel.name = "Driver_CH0";
  channel.bitAddress = (0x8047 + 142) * 8;
  channel.bitWidth = 8;
  cfg.Items().push_back(channel);
  cfg.ReadConfig();
  EXPECT_EQ("0", cfg.Items()[0].value);  // chip channel 3 is position 0

  EXPECT_EQ("", cfg.ApplyX2X());
  EXPECT_EQ("2", cfg.Items()[0].value);
  cfg.SendConfig();
  EXPECT_THAT(ChipBytes(kDriveMap, 5), ElementsAre(2, 1, 3, 0xFF, 0xFF));
  EXPECT_EQ(1u, Personality().TakenCount());

  EXPECT_EQ("", cfg.ApplyY2Y());
  cfg.SendConfig();
  EXPECT_THAT(ChipBytes(kSenseMap, 4), ElementsAre(6, 7, 8, 9));
  EXPECT_THAT(ChipBytes(kDriveMap, 5), ElementsAre(2, 1, 3, 0xFF, 0xFF));
}

// A map that cannot be turned stays as it is, and the command says why.
TEST_F(ConfigAxisTest, MapsWithFewerThanTwoEntriesOrOutsideTheBlockStayAsTheyAre) {
  struct Case {
    const char* name;
    const char* channel;
    std::vector<uint8_t> drive;
    const char* missing;
  } cases[] = {
      {"one entry", "[Channel]\r\nDrvMaxNum=4\r\n", {7, 0xFF, 0xFF, 0xFF}, "驱动通道表中的通道少于两个"},
      {"all unused", "[Channel]\r\nDrvMaxNum=3\r\n", {0xFF, 0xFF, 0xFF}, "驱动通道表中的通道少于两个"},
      {"no entries", "[Channel]\r\nDrvMaxNum=0\r\n", {1, 2}, "芯片INI缺少DrvMaxNum"},
      {"no count at all", "", {1, 2}, "芯片INI缺少DrvMaxNum"},
      {"map past the block", "[Channel]\r\nDrvMaxNum=900\r\n", {1, 2},
       "驱动通道表超出配置块(DrvStartAddr/DrvMaxNum)"},
      {"count past any block", "[Channel]\r\nDrvMaxNum=2147483647\r\n", {1, 2},
       "驱动通道表超出配置块(DrvStartAddr/DrvMaxNum)"},
  };
  for (const Case& c : cases) {
    WriteChipIni(std::string(kRu9ChipIni) + c.channel);
    CConfig cfg;
    std::copy(c.drive.begin(), c.drive.end(), cfg.Block().begin() + kDriveMap);
    const std::vector<uint8_t> before(cfg.Block().begin(), cfg.Block().end());
    EXPECT_EQ(c.missing, cfg.ApplyX2X()) << c.name;
    EXPECT_TRUE(std::equal(before.begin(), before.end(), cfg.Block().begin())) << c.name;
  }
  WriteChipIni(kRu9ChipIni);
  CConfig cfg;
  EXPECT_EQ("芯片INI缺少SenMaxNum", cfg.ApplyY2Y());
}

TEST_F(ConfigAxisTest, OutlandishChannelCountsAreHeldToTheBlock) {
  WriteChipIni(
      "[Cfg]\r\nCfgLength=340\r\n[Channel]\r\nDrvHalfNmuber=-2147483648\r\n"
      "SenHalfNumber=2147483647\r\nDrvMaxNum=2147483647\r\nSenMaxNum=-5\r\n");
  ConnectChip(ChipFamily::DE7);
  CConfig cfg;
  EXPECT_EQ(0, cfg.DrvHalfNumber());
  EXPECT_EQ(1024, cfg.SenHalfNumber());
  EXPECT_EQ(1024, cfg.DrvMaxNum());
  EXPECT_EQ(0, cfg.SenMaxNum());

  // With no first half, drive position k is list entry k.
  cfg.DriveChannels() = {5, 7};
  CfgItem channel;
  channel.name = "Driver_CH0";
  channel.bitAddress = (0x8047 + 10) * 8;
  channel.bitWidth = 8;
  cfg.Items().push_back(channel);
  cfg.Block()[10] = 7;
  cfg.RefreshItemValues();
  EXPECT_EQ("1", cfg.Items()[0].value);
  cfg.Items()[0].refreshedValue.clear();
  cfg.ApplyItemValues();
  EXPECT_EQ(7, cfg.Block()[10]);
}

TEST_F(ConfigAxisTest, SwapAndDe7MirrorsToggleTheirItems) {
  WriteChipIni("[Cfg]\r\nCFGAddr=0x8050\r\nCfgLength=340\r\nX2Y=8060,0\r\nX2X=8060,1\r\nY2Y=\r\n");
  std::vector<uint8_t> stored = PatternBlock(340);
  stored[0x10] = 0x01;  // X2Y set, X2X clear
  ConnectChip(ChipFamily::DE7, WithValidSums(ChipFamily::DE7, stored));
  CConfig cfg;
  for (int bit : {0, 1}) {
    CfgItem item;
    item.name = bit == 0 ? "swap" : "mirror";
    item.bitAddress = 0x8060 * 8 + bit;
    item.bitWidth = 1;
    item.controlKind = kCfgCheckBox;
    cfg.Items().push_back(item);
  }
  cfg.ReadConfig();

  EXPECT_EQ("", cfg.ApplyX2Y());
  EXPECT_EQ("", cfg.ApplyX2X());
  EXPECT_EQ("找不到配置项Y2Y", cfg.ApplyY2Y());  // no item named Y2Y: nothing changes
  cfg.SendConfig();
  EXPECT_EQ(0x02, ChipBlock()[0x10] & 0x03);
  EXPECT_EQ(1u, Personality().TakenCount());

  EXPECT_EQ("", cfg.ApplyX2Y());
  cfg.SendConfig();
  EXPECT_EQ(0x03, ChipBlock()[0x10] & 0x03);
}

}  // namespace
