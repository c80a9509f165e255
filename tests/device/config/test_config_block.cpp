// The configuration block: settings it is laid out by, the checksum of both
// chip families, the length check, and the comparison with the chip.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/device/ConfigTestUtil.h"
#include "device/config/CfgPathChooser.h"
#include "device/config/CfgText.h"

namespace {

using sim::ChipFamily;
using testing::ElementsAre;

uint8_t SumOf(const CConfig& cfg, int from, int to) {
  uint32_t sum = 0;
  for (int i = from; i <= to; ++i) sum += cfg.Block()[i];
  return static_cast<uint8_t>(sum);
}

void Fill(CConfig& cfg, const std::vector<uint8_t>& bytes) {
  std::copy(bytes.begin(), bytes.end(), cfg.Block().begin());
}

class ConfigBlockTest : public ConfigTest {};

TEST_F(ConfigBlockTest, MissingKeysGiveTheDefaultLayout) {
  WriteChipIni("");
  CConfig cfg;
  EXPECT_EQ(0x8047, cfg.CfgAddr());
  EXPECT_EQ(186, cfg.CfgLength());
  EXPECT_EQ(0, cfg.DrvMaxNum());
  EXPECT_EQ(0, cfg.SenMaxNum());
  EXPECT_EQ(0, cfg.DrvHalfNumber());
  EXPECT_EQ(0, cfg.SenHalfNumber());
  EXPECT_EQ(std::optional<size_t>(142), cfg.DriveMapOffset());
  EXPECT_EQ(std::optional<size_t>(112), cfg.SenseMapOffset());
  for (uint8_t b : cfg.Block()) ASSERT_EQ(0, b);
}

TEST_F(ConfigBlockTest, MapsOutsideTheBlockAreAbsent) {
  struct Case {
    const char* ini;
    std::optional<size_t> drive;
  } cases[] = {
      {"[BasicData]\r\nDrvStartAddr=0x8000\r\n", std::nullopt},  // below CFGAddr
      {"[BasicData]\r\nDrvStartAddr=0x8447\r\n", std::nullopt},  // past the block
      {"[BasicData]\r\nDrvStartAddr=0x8440\r\n[Channel]\r\nDrvMaxNum=8\r\n", std::nullopt},
      {"[BasicData]\r\nDrvStartAddr=0x843F\r\n[Channel]\r\nDrvMaxNum=8\r\n", 1016},
  };
  for (const Case& c : cases) {
    WriteChipIni(c.ini);
    CConfig cfg;
    EXPECT_EQ(c.drive, cfg.DriveMapOffset()) << c.ini;
  }
}

TEST_F(ConfigBlockTest, ChecksumOfTheOtherFamilyClosesTheBlockAndSetsTheFreshFlag) {
  CConfig cfg;  // no bridge was ever opened: the non-DE7 layout
  Fill(cfg, PatternBlock(1024));
  const std::vector<uint8_t> before(cfg.Block().begin(), cfg.Block().end());
  cfg.ComputeChecksum();
  EXPECT_EQ(0, SumOf(cfg, 0, 184));
  EXPECT_EQ(1, cfg.Block()[185]);
  for (int i = 0; i < 1024; ++i) {
    if (i != 184 && i != 185) {
      ASSERT_EQ(before[i], cfg.Block()[i]) << i;
    }
  }
}

TEST_F(ConfigBlockTest, De7ChecksumClosesItsThreeRanges) {
  WriteChipIni("[Cfg]\r\nCfgLength=250\r\n");
  ConnectChip(ChipFamily::DE7);
  CConfig cfg;
  Fill(cfg, PatternBlock(1024));
  const std::vector<uint8_t> before(cfg.Block().begin(), cfg.Block().end());
  cfg.ComputeChecksum();
  EXPECT_EQ(0, SumOf(cfg, 0, 2));
  EXPECT_EQ(0, SumOf(cfg, 0, 212));
  EXPECT_EQ(0, SumOf(cfg, 213, 249));
  for (int i = 0; i < 1024; ++i) {
    if (i != 2 && i != 212 && i != 249) {
      ASSERT_EQ(before[i], cfg.Block()[i]) << i;
    }
  }

  // The bridge goes away: a block edited offline keeps the DE7 layout.
  g_pBridgeDevice = nullptr;
  device_.reset();
  CConfig offline;
  Fill(offline, PatternBlock(1024, 99));
  offline.ComputeChecksum();
  EXPECT_EQ(0, SumOf(offline, 213, 249));
  EXPECT_EQ(PatternBlock(1024, 99)[248], offline.Block()[248]);
}

class CancelChooser : public ICfgPathChooser {
 public:
  std::optional<std::filesystem::path> ChooseSavePath(const std::string&,
                                                      const std::string&) override {
    ++asked;
    return std::nullopt;
  }
  int asked = 0;
};

// The operation throws exactly this operator text.
void ExpectRefused(const std::function<void()>& op, std::string_view text) {
  try {
    op();
    ADD_FAILURE() << "not refused";
  } catch (const ConfigError& e) {
    EXPECT_EQ(text, e.what());
  }
}

void ExpectReadFailure(const std::function<void()>& op) { ExpectRefused(op, kCfgReadFailedText); }

TEST_F(ConfigBlockTest, InvalidLengthIsRefusedBeforeAnyTraffic) {
  struct Case {
    ChipFamily family;
    const char* length;
    int shown;
  } cases[] = {
      {ChipFamily::RU9, "0", 0},     {ChipFamily::RU9, "1", 1},   {ChipFamily::RU9, "1025", 1025},
      {ChipFamily::RU9, "-3", -3},   {ChipFamily::RU9, "abc", 0}, {ChipFamily::DE7, "213", 213},
      {ChipFamily::DE7, "186", 186},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    TearDown();
    SetUp();
    WriteChipIni(std::string("[Cfg]\r\nCfgLength=") + c.length + "\r\n");
    ConnectChip(c.family);
    const std::string text = InvalidCfgLengthText(c.shown);
    const std::filesystem::path file = Root() / "out.cfg";
    platform::testing_support::WriteBytes(Root() / "in.cfg", "0x11,0x22,");

    CConfig cfg;
    auto expectRefused = [&](const std::function<void()>& op) { ExpectRefused(op, text); };
    expectRefused([&] { cfg.ComputeChecksum(); });
    expectRefused([&] { cfg.ReadConfig(); });
    expectRefused([&] { cfg.SendConfig(); });
    expectRefused([&] { cfg.WriteCfgFile(file); });
    CancelChooser chooser;
    expectRefused([&] { cfg.ExportCfgFile(chooser); });
    expectRefused([&] { cfg.LoadCfgFile(Root() / "in.cfg"); });
    EXPECT_EQ(0, chooser.asked);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(0, cfg.Block()[0]);
    EXPECT_TRUE(Sent().empty());
  }
}

TEST_F(ConfigBlockTest, ReadConfigFillsTheBlockAndTheChannelLists) {
  const std::vector<uint8_t> stored = WithValidSums(ChipFamily::RU9, PatternBlock(186));
  WriteChipIni(std::string(kRu9ChipIni) + "[Channel]\r\nDrvMap=3, 1,2\r\nSenMap=7\r\n");
  ConnectChip(ChipFamily::RU9, stored);
  CConfig cfg;
  cfg.ReadConfig();
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), cfg.Block().begin()));
  EXPECT_THAT(cfg.DriveChannels(), ElementsAre(3, 1, 2));
  EXPECT_THAT(cfg.SenseChannels(), ElementsAre(7));

  // MapDisable keeps the lists the caller has.
  WriteChipIni(std::string(kRu9ChipIni) + "[Channel]\r\nMapDisable=1\r\nDrvMap=9\r\n");
  cfg.DriveChannels() = {5};
  cfg.ReadConfig();
  EXPECT_THAT(cfg.DriveChannels(), ElementsAre(5));
}

// A failed read leaves the block with the address, length and channel lists
// of the last good one: the bridge's fill bytes never reach a file or the
// chip.
TEST_F(ConfigBlockTest, AFailedReadChangesNothingThatIsSavedOrSentLater) {
  const std::vector<uint8_t> stored = WithValidSums(ChipFamily::RU9, PatternBlock(186));
  WriteChipIni(std::string(kRu9ChipIni) + "[Channel]\r\nDrvMap=3,1\r\n");
  ConnectChip(ChipFamily::RU9, stored);
  CConfig cfg;
  cfg.ReadConfig();

  // The settings now name another layout, and the cable is loose.
  WriteChipIni("[Cfg]\r\nCFGAddr=0x8050\r\nCfgLength=200\r\n[Channel]\r\nDrvMap=9\r\n");
  Bridge().SetSilent(true);
  ExpectReadFailure([&] { cfg.ReadConfig(); });
  EXPECT_EQ(0x8047, cfg.CfgAddr());
  EXPECT_EQ(186, cfg.CfgLength());
  EXPECT_THAT(cfg.DriveChannels(), ElementsAre(3, 1));
  EXPECT_TRUE(std::equal(stored.begin(), stored.end(), cfg.Block().begin()));

  Bridge().SetSilent(false);
  const std::filesystem::path file = Root() / "saved.cfg";
  cfg.WriteCfgFile(file);
  WriteChipIni(kRu9ChipIni);
  CConfig saved;
  saved.LoadCfgFile(file);
  EXPECT_TRUE(std::equal(stored.begin(), stored.end() - 1, saved.Block().begin()));
  cfg.SendConfig();
  EXPECT_EQ(stored, Personality().StoredConfig());
}

// A block no read or file has filled holds no configuration: its send or
// save is refused with the read failure's text, not burnt as zeros.
TEST_F(ConfigBlockTest, ABlockNeverFilledIsNeitherSentNorSaved) {
  const std::vector<uint8_t> stored = WithValidSums(ChipFamily::RU9, PatternBlock(186));
  ConnectChip(ChipFamily::RU9, stored);
  Bridge().SetSilent(true);
  CConfig cfg;
  ExpectReadFailure([&] { cfg.ReadConfig(); });
  EXPECT_FALSE(cfg.IsFilled());
  Bridge().SetSilent(false);
  Bridge().Trace().Clear();

  const std::filesystem::path file = Root() / "out.cfg";
  CancelChooser chooser;
  ExpectReadFailure([&] { cfg.SendConfig(); });
  ExpectReadFailure([&] { cfg.SendWithChecksum(); });
  ExpectReadFailure([&] { cfg.WriteCfgFile(file); });
  ExpectReadFailure([&] { cfg.ExportCfgFile(chooser); });
  EXPECT_EQ(0, chooser.asked);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(Sent().empty());

  // A short file leaves bytes nobody read: still nothing to send.
  platform::testing_support::WriteBytes(Root() / "short.cfg", "0x01,0x02,");
  cfg.LoadCfgFile(Root() / "short.cfg");
  EXPECT_FALSE(cfg.IsFilled());
  ExpectReadFailure([&] { cfg.SendConfig(); });
  EXPECT_TRUE(Sent().empty());
  // A whole block from a file is one.
  platform::testing_support::WriteBytes(Root() / "whole.cfg",
                                        FormatCfgText(stored, CfgTextEnding::kComma));
  cfg.LoadCfgFile(Root() / "whole.cfg");
  EXPECT_TRUE(cfg.IsFilled());
  cfg.SendConfig();
  EXPECT_EQ(1u, Personality().TakenCount());
  // And a short file over a filled block keeps it filled.
  cfg.LoadCfgFile(Root() / "short.cfg");
  EXPECT_TRUE(cfg.IsFilled());
}

// --- Comparison with the chip ---

TEST_F(ConfigBlockTest, CompareLooksAtBytesOneToLengthMinusTwo) {
  const std::vector<uint8_t> stored = WithValidSums(ChipFamily::RU9, PatternBlock(186));
  struct Case {
    const char* name;
    int changedByte;  // -1: none
    bool equal;
  } cases[] = {
      {"same", -1, true},       {"first byte", 0, true},   {"fresh flag", 185, true},
      {"checksum", 184, false}, {"second byte", 1, false}, {"middle", 90, false},
  };
  ConnectChip(ChipFamily::RU9, stored);
  for (const Case& c : cases) {
    CConfig cfg;
    Fill(cfg, stored);
    if (c.changedByte >= 0) cfg.Block()[c.changedByte] ^= 0x40;
    EXPECT_EQ(c.equal, cfg.CompareChipConfig(false)) << c.name;
  }
}

TEST_F(ConfigBlockTest, CompareOfATwoByteBlockIsAlwaysEqualAndAFailedReadIsNot) {
  WriteChipIni("[Cfg]\r\nCfgLength=2\r\n");
  ConnectChip(ChipFamily::RU9, {0x12, 0x34});
  CConfig cfg;
  cfg.Block()[0] = 0x99;
  cfg.Block()[1] = 0x99;
  EXPECT_TRUE(cfg.CompareChipConfig(false));

  Bridge().SetSilent(true);
  EXPECT_FALSE(cfg.CompareChipConfig(false));
}

TEST_F(ConfigBlockTest, CompareAfterResetSeesTheChipsStoredConfiguration) {
  const std::vector<uint8_t> stored = WithValidSums(ChipFamily::RU9, PatternBlock(186));
  ConnectChip(ChipFamily::RU9, stored);
  Personality().SetFault(sim::ConfigFault::NeverTakes);

  CConfig cfg;
  cfg.ReadConfig();
  cfg.Block()[40] ^= 0xFF;
  EXPECT_THROW(cfg.SendWithChecksum(), ConfigError);

  std::vector<uint32_t> waits;
  cfg.SetSleep([&](uint32_t ms) { waits.push_back(ms); });
  // Written but never taken: the registers hold it until the chip resets.
  EXPECT_TRUE(cfg.CompareChipConfig(false));
  EXPECT_TRUE(waits.empty());
  EXPECT_FALSE(cfg.CompareChipConfig(true));
  EXPECT_THAT(waits, ElementsAre(1000u, 600u));
  EXPECT_EQ(stored, ChipBlock());
}

}  // namespace
