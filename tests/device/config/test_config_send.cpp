// Sending the configuration block through the chip's hand-shake of either
// family, and what happens to a streaming data page meanwhile.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/device/ConfigTestUtil.h"

namespace {

using sim::ChipFamily;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr uint16_t kRu9Base = 0x8047;
constexpr uint16_t kRu9FreshFlag = 0x8047 + 185;
constexpr uint16_t kDe7Base = 0x8050;

class ConfigSendTest : public ConfigTest {
 protected:
  // A chip holding a valid stored block; the host reads it and changes one
  // byte, so that a send is visible.
  void ReadChangedBlock(ChipFamily family, CConfig& cfg) {
    const size_t length = sim::ConfigPersonality::For(family).length;
    ConnectChip(family, WithValidSums(family, PatternBlock(length)));
    cfg.ReadConfig();
    cfg.Block()[100] ^= 0x5A;
    Chip().ClearAccessLog();
  }

  std::string SendFailure(CConfig& cfg) {
    try {
      cfg.SendConfig();
    } catch (const ConfigError& e) {
      return e.what();
    }
    return "sent";
  }

  bool WroteTo(uint16_t address) {
    for (const sim::ChipAccess& w : Personality().WriteTrace()) {
      if (w.address == address) return true;
    }
    return false;
  }
};

TEST_F(ConfigSendTest, Ru9ChipTakesTheBlockOnTheThirdPollOfItsFreshFlag) {
  CConfig cfg;
  ReadChangedBlock(ChipFamily::RU9, cfg);
  cfg.SendConfig();

  EXPECT_EQ(3u, Chip().ReadCount(kRu9FreshFlag));
  EXPECT_EQ(1u, Personality().TakenCount());
  std::vector<uint8_t> expected(cfg.Block().begin(), cfg.Block().begin() + 186);
  expected[185] = 0;  // cleared by the chip
  EXPECT_EQ(expected, Personality().StoredConfig());

  // The sync flag is cleared first, then the block goes out in one write.
  const auto writes = Personality().WriteTrace();
  ASSERT_EQ(2u, writes.size());
  EXPECT_EQ(g_wSyncFlagAddr.load(), writes[0].address);
  EXPECT_EQ(kRu9Base, writes[1].address);
  EXPECT_EQ(186u, writes[1].bytes.size());
}

TEST_F(ConfigSendTest, Ru9BlockWithABadSumFailsAfterExactly250Polls) {
  CConfig cfg;
  ReadChangedBlock(ChipFamily::RU9, cfg);
  // A byte that reaches the chip altered: its sum no longer holds.
  Chip().SetWriteHook(kRu9Base + 10, [](sim::SimChip& c, const sim::ByteAccess& a) {
    c.Poke(a.address, static_cast<uint8_t>(a.value ^ 1));
  });
  EXPECT_EQ(std::string(kCfgSendFailedText), SendFailure(cfg));
  EXPECT_EQ(250u, Chip().ReadCount(kRu9FreshFlag));
  EXPECT_EQ(0u, Personality().TakenCount());
  EXPECT_EQ(1u, Personality().RefusedCount());
}

TEST_F(ConfigSendTest, De7SendFollowsTheGoldenWriteTrace) {
  WriteChipIni(kDe7ChipIni);
  CConfig cfg;
  ReadChangedBlock(ChipFamily::DE7, cfg);
  cfg.SendConfig();

  const uint16_t sync = g_wSyncFlagAddr.load();
  const std::vector<uint8_t> block(cfg.Block().begin(), cfg.Block().begin() + 340);
  struct Write {
    uint16_t address;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Write> golden = {
      {sync, {0x00}},    {0x8041, {0x00, 0x80}}, {0x8040, {0x80}}, {sync, {0x00}},
      {kDe7Base, block}, {0x8041, {0x00, 0x7D}}, {0x8040, {0x83}},
  };
  const auto trace = Personality().WriteTrace();
  ASSERT_EQ(golden.size(), trace.size());
  for (size_t i = 0; i < golden.size(); ++i) {
    EXPECT_EQ(golden[i].address, trace[i].address) << i;
    EXPECT_EQ(golden[i].bytes, trace[i].bytes) << i;
  }
  EXPECT_EQ(1u, Personality().TakenCount());
  EXPECT_EQ(block, Personality().StoredConfig());
  EXPECT_EQ(0xFF, Chip().Peek(0x8040));
}

TEST_F(ConfigSendTest, De7ChipThatNeverAcknowledgesFailsAfter50PollsWithoutABlockWrite) {
  WriteChipIni(kDe7ChipIni);
  CConfig cfg;
  ReadChangedBlock(ChipFamily::DE7, cfg);
  Personality().SetFault(sim::ConfigFault::NeverAcknowledges);

  EXPECT_EQ(std::string(kCfgSendFailedText), SendFailure(cfg));
  // One read finds the chip idle, then 50 polls wait for 0x82 in vain.
  EXPECT_EQ(51u, Chip().ReadCount(0x8040));
  EXPECT_FALSE(WroteTo(kDe7Base));
  EXPECT_EQ(0u, Personality().TakenCount());
}

TEST_F(ConfigSendTest, FailedBlockWriteFails) {
  CConfig cfg;
  ReadChangedBlock(ChipFamily::RU9, cfg);
  Bridge().FailNextWrites(2);  // the sync flag's write, then the block's first report
  EXPECT_EQ(std::string(kCfgSendFailedText), SendFailure(cfg));
  EXPECT_EQ(0u, Personality().TakenCount());
}

TEST_F(ConfigSendTest, SendStoresChangedItemsWithTheChecksum) {
  CConfig cfg;
  ReadChangedBlock(ChipFamily::RU9, cfg);
  CfgItem item;
  item.name = "Threshold";
  item.bitAddress = (kRu9Base + 20) * 8;
  item.bitWidth = 8;
  cfg.Items().push_back(item);
  cfg.RefreshItemValues();
  cfg.Items()[0].value = "77";
  cfg.SendConfig();
  EXPECT_EQ(77, Personality().StoredConfig()[20]);
}

TEST_F(ConfigSendTest, OnlyAStreamingDataPageIsStoppedAndRestarted) {
  struct Case {
    const char* name;
    int page;
    bool streaming;
    bool busy;
    bool fail;
    std::vector<std::string> calls;
    bool chipStreamingAfter;
  } cases[] = {
      {"demo page", PAGE_DEMO, true, false, false, {}, false},
      {"test page", PAGE_TEST, true, false, false, {}, false},
      {"raw page", PAGE_RAW, true, false, false, {"stop 1", "restart 1"}, true},
      {"observe page", PAGE_OBSERVE, true, false, false, {"stop 3", "restart 3"}, true},
      {"stopped diff page", PAGE_DIFF, false, false, false, {"stop 2"}, false},
      {"busy window", PAGE_RAW, true, true, false, {"stop 1"}, false},
      {"failed send", PAGE_RAW, true, false, true, {"stop 1"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    CConfig cfg;
    ReadChangedBlock(ChipFamily::RU9, cfg);
    if (c.fail) Personality().SetFault(sim::ConfigFault::NeverTakes);
    stream_.page = c.page;
    stream_.streaming = c.streaming;
    stream_.busy = c.busy;
    if (c.streaming && IsDataStreamPage(c.page)) {
      ASSERT_EQ(1u, StartDataStream(1));
    }
    Chip().ClearAccessLog();

    EXPECT_EQ(c.fail, SendFailure(cfg) != "sent");
    EXPECT_EQ(c.calls, stream_.calls);
    EXPECT_EQ(c.chipStreamingAfter, Chip().IsStreaming());
    // A page that was never stopped keeps its stream untouched.
    if (c.calls.empty()) {
      EXPECT_FALSE(WroteTo(0x8040));
    }
  }
}

}  // namespace
