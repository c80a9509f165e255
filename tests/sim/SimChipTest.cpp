#include "sim/SimChip.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace sim {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr uint8_t kCmdRegister = 15;

TEST(SimChipIdentity, FamilyBlocksHoldIdAndVersionInTheirByteOrder) {
  struct Case {
    SimChipConfig config;
    uint16_t address;
    std::vector<uint8_t> expected;
  };
  SimChipConfig ru9 = SimChipConfig::For(ChipFamily::RU9);
  SimChipConfig de7 = SimChipConfig::For(ChipFamily::DE7);
  SimChipConfig shortId = ru9;
  shortId.productId = "911";
  shortId.firmwareVersion = 0x0005;
  const Case cases[] = {
      {ru9, 0x8140, {'9', '1', '1', '1', 0x60, 0x10}},
      {de7, 0x8240, {'7', '3', '8', '8', 0, 0, 0x01, 0x0A}},
      {shortId, 0x8140, {'9', '1', '1', 0, 0x05, 0x00}},
  };
  for (const Case& c : cases) {
    SimChip chip(c.config);
    EXPECT_EQ(chip.Read(c.address, c.expected.size(), kCmdRegister), c.expected)
        << "family " << static_cast<int>(c.config.family);
  }
}

TEST(SimChipIdentity, SensorIdAndCommandIdleValuePerFamily) {
  SimChipConfig ru9 = SimChipConfig::For(ChipFamily::RU9);
  ru9.sensorId = 3;
  SimChipConfig de7 = SimChipConfig::For(ChipFamily::DE7);
  de7.sensorId = 7;
  SimChip a(ru9), b(de7);
  EXPECT_EQ(a.Peek(0x814A), 3);
  EXPECT_EQ(b.Peek(0x824A), 7);
  EXPECT_EQ(a.Peek(0x8040), 0x00);
  EXPECT_EQ(b.Peek(0x8040), 0xFF);
  EXPECT_EQ(a.SyncFlagAddress(), 0x814E);
  EXPECT_EQ(b.SyncFlagAddress(), 0x824E);
}

class SimChipStream : public ::testing::Test {
 protected:
  uint8_t PollFlag() { return chip.Read(chip.SyncFlagAddress(), 1, kCmdRegister)[0]; }
  void WriteByte(uint16_t address, uint8_t value, uint8_t cmd = kCmdRegister) {
    chip.Write(address, &value, 1, cmd);
  }
  SimChip chip{SimChipConfig::For(ChipFamily::RU9)};
};

TEST_F(SimChipStream, FlagRisesAfterConfiguredPollsAndClearsOnHostWriteOfZero) {
  WriteByte(0x8040, 1, 6);
  ASSERT_TRUE(chip.IsStreaming());
  EXPECT_EQ(PollFlag(), 0);  // default: ready on the second poll after a clear
  EXPECT_EQ(PollFlag(), kFlagReady);
  EXPECT_EQ(PollFlag(), kFlagReady) << "stays set until the host clears it";
  EXPECT_EQ(chip.FrameCounter(), 1u);

  WriteByte(0x814E, 0, 10);
  EXPECT_EQ(PollFlag(), 0);
  EXPECT_EQ(PollFlag(), kFlagReady);
  EXPECT_EQ(chip.FrameCounter(), 2u);

  chip.SetFlagReadsUntilReady(4);
  WriteByte(0x814E, 0);
  EXPECT_EQ(PollFlag(), 0);
  EXPECT_EQ(PollFlag(), 0);
  EXPECT_EQ(PollFlag(), 0);
  EXPECT_EQ(PollFlag(), kFlagReady);
}

TEST_F(SimChipStream, FlagStaysZeroWhenNotStreamingOrNeverReady) {
  for (int i = 0; i < 5; ++i) EXPECT_EQ(PollFlag(), 0);
  EXPECT_EQ(chip.FrameCounter(), 0u);

  chip.SetFlagNeverReady(true);
  WriteByte(0x8040, 1, 6);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(PollFlag(), 0);
  chip.SetFlagNeverReady(false);
  EXPECT_EQ(PollFlag(), 0) << "polls while the flag could not come do not count";
  EXPECT_EQ(PollFlag(), kFlagReady);
}

TEST_F(SimChipStream, StopsOnZeroOrStopCommandAndKeepsParameters) {
  struct Case {
    uint8_t cmd;
    uint8_t value;
    bool streaming;
  };
  const Case cases[] = {{6, 1, true}, {6, 0, false}, {6, 1, true},  {7, 0, false},
                        {6, 1, true}, {7, 1, false}, {15, 1, true}, {15, 0, false}};
  for (const Case& c : cases) {
    WriteByte(0x8040, c.value, c.cmd);
    EXPECT_EQ(chip.IsStreaming(), c.streaming) << "cmd " << int(c.cmd) << " value " << int(c.value);
    EXPECT_EQ(chip.Peek(0x8040), c.value);
  }
  const uint8_t params[] = {0x00, 0xFF};
  chip.Write(0x8041, params, 2, kCmdRegister);
  WriteByte(0x8046, 1);
  EXPECT_THAT(chip.PeekRange(0x8041, 2), ElementsAre(0x00, 0xFF));
  EXPECT_EQ(chip.Peek(0x8046), 1);
}

TEST_F(SimChipStream, MovedFlagAddressCarriesTheBehaviour) {
  chip.SetSyncFlagAddress(0x824E);
  WriteByte(0x8040, 1, 6);
  EXPECT_EQ(chip.Read(0x814E, 1, kCmdRegister)[0], 0);
  EXPECT_EQ(chip.Read(0x814E, 1, kCmdRegister)[0], 0) << "old address is plain memory again";
  EXPECT_EQ(PollFlag(), 0);
  EXPECT_EQ(PollFlag(), kFlagReady);
}

TEST_F(SimChipStream, ResetRestoresVolatileStateAndKeepsPersistentBytes) {
  WriteByte(0x8040, 1, 6);
  PollFlag();
  PollFlag();
  WriteByte(0x6000, 0x11);
  WriteByte(0x6001, 0x22);
  WriteByte(0x8140, 'X');
  chip.MarkPersistent(0x6001, 1);

  chip.Reset();
  EXPECT_FALSE(chip.IsStreaming());
  EXPECT_EQ(chip.Peek(0x814E), 0);
  EXPECT_EQ(chip.FrameCounter(), 0u);
  EXPECT_EQ(chip.Peek(0x6000), 0);
  EXPECT_EQ(chip.Peek(0x6001), 0x22);
  EXPECT_EQ(chip.Peek(0x8140), '9') << "identification comes back from the power-on image";

  WriteByte(0x8040, 1, 6);
  EXPECT_EQ(PollFlag(), 0) << "poll count restarted";
  EXPECT_EQ(PollFlag(), kFlagReady);
}

TEST(SimChipReset, De7CommandRegisterReturnsToIdle) {
  SimChip chip(SimChipConfig::For(ChipFamily::DE7));
  const uint8_t one = 1;
  chip.Write(0x8040, &one, 1, 6);
  chip.Reset();
  EXPECT_EQ(chip.Peek(0x8040), 0xFF);
}

TEST(SimChipFrames, DefaultPatternFollowsTheFrameCounterInEveryRegion) {
  SimChip chip(SimChipConfig::For(ChipFamily::RU9));
  for (uint16_t base : {kRawFrameAddress, kDiffFrameAddress, kObserveAddress}) {
    std::vector<uint8_t> expected;
    for (size_t i = 0; i < 40; ++i) expected.push_back(SimChip::DefaultFrameByte(base, 0, 10 + i));
    EXPECT_EQ(chip.Read(static_cast<uint16_t>(base + 10), 40, 13), expected) << std::hex << base;
  }
  const uint8_t one = 1;
  chip.Write(0x8040, &one, 1, 6);
  chip.Read(0x814E, 1, kCmdRegister);
  chip.Read(0x814E, 1, kCmdRegister);
  ASSERT_EQ(chip.FrameCounter(), 1u);
  const auto frame = chip.Read(kRawFrameAddress, 2520, 13);
  for (size_t i = 0; i < frame.size(); i += 97) {
    EXPECT_EQ(frame[i], SimChip::DefaultFrameByte(kRawFrameAddress, 1, i)) << i;
  }
  EXPECT_NE(SimChip::DefaultFrameByte(kRawFrameAddress, 0, 0),
            SimChip::DefaultFrameByte(kRawFrameAddress, 1, 0));
  EXPECT_NE(SimChip::DefaultFrameByte(kRawFrameAddress, 0, 0),
            SimChip::DefaultFrameByte(kRawFrameAddress, 0, 63));
}

TEST(SimChipFrames, CustomSourceFillsOnlyItsRegion) {
  SimChip chip;
  chip.PokeRange(0x7FFE, {0xA1, 0xA2});
  chip.PokeRange(0x8004, {0xB1});
  std::vector<size_t> offsets;
  chip.SetFrameSource(0x8000, 4, [&](size_t offset, uint8_t* out, size_t count) {
    offsets.push_back(offset);
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(0xC0 + offset + i);
  });
  EXPECT_THAT(chip.Read(0x7FFE, 7, kCmdRegister),
              ElementsAre(0xA1, 0xA2, 0xC0, 0xC1, 0xC2, 0xC3, 0xB1));
  EXPECT_THAT(chip.Read(0x8002, 1, kCmdRegister), ElementsAre(0xC2));
  EXPECT_THAT(offsets, ElementsAre(0u, 2u));

  chip.SetFrameSource(0x8000, 4, {});
  chip.Poke(0x8000, 0x42);
  EXPECT_THAT(chip.Read(0x8000, 1, kCmdRegister), ElementsAre(0x42));
}

TEST(SimChipHooks, WriteHookSeesCommandAndCanWrapThePreviousOne) {
  SimChip chip;
  std::vector<ByteAccess> seen;
  chip.SetWriteHook(0x8100, [&](SimChip& c, const ByteAccess& a) {
    seen.push_back(a);
    c.Poke(a.address, static_cast<uint8_t>(a.value + 1));
  });
  SimChip::WriteHook first = chip.SetWriteHook(0x8100, nullptr);
  ASSERT_TRUE(first);
  chip.SetWriteHook(0x8100, [first](SimChip& c, const ByteAccess& a) {
    first(c, ByteAccess{a.cmd, a.address, static_cast<uint8_t>(a.value * 2)});
  });
  const uint8_t data[] = {0x10, 0x20};
  chip.Write(0x80FF, data, 2, 10);
  EXPECT_EQ(chip.Peek(0x80FF), 0x10);
  EXPECT_EQ(chip.Peek(0x8100), 0x41);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].cmd, 10);

  chip.SetReadHook(
      0x8101, [](SimChip&, const ByteAccess& a) { return static_cast<uint8_t>(a.value ^ 0xFF); });
  chip.Poke(0x8101, 0x0F);
  EXPECT_THAT(chip.Read(0x8100, 2, kCmdRegister), ElementsAre(0x41, 0xF0));
  chip.SetReadHook(0x8101, {});
  EXPECT_THAT(chip.Read(0x8101, 1, kCmdRegister), ElementsAre(0x0F));
}

TEST(SimChipHooks, BehaviourIsAttachedAndResetWithTheChip) {
  struct Counter : ChipBehaviour {
    int* resets;
    explicit Counter(int* r) : resets(r) {}
    void Attach(SimChip& chip) override {
      chip.SetReadHook(0x5000, [](SimChip&, const ByteAccess&) -> uint8_t { return 0x77; });
    }
    void OnReset(SimChip&) override { ++*resets; }
  };
  int resets = 0;
  SimChip chip;
  chip.AddBehaviour(std::make_unique<Counter>(&resets));
  EXPECT_THAT(chip.Read(0x5000, 1, kCmdRegister), ElementsAre(0x77));
  chip.Reset();
  chip.Reset();
  EXPECT_EQ(resets, 2);
}

TEST(SimChipLog, RecordsAccessesAndCountsReadsByStartAddress) {
  SimChip chip;
  const uint8_t v[] = {1, 2};
  chip.Write(0x6000, v, 2, 15);
  chip.Read(0x6000, 2, 11);
  chip.Read(0x6000, 1, 15);
  chip.Read(0x6001, 1, 15);
  const auto log = chip.AccessLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].op, AccessOp::Write);
  EXPECT_THAT(log[0].bytes, ElementsAre(1, 2));
  EXPECT_EQ(log[1].op, AccessOp::Read);
  EXPECT_EQ(log[1].cmd, 11);
  EXPECT_THAT(log[1].bytes, ElementsAre(1, 2));
  EXPECT_EQ(chip.ReadCount(0x6000), 2u);
  EXPECT_EQ(chip.ReadCount(0x6001), 1u);
  EXPECT_EQ(chip.ReadCount(0x6002), 0u);
  chip.ClearAccessLog();
  EXPECT_TRUE(chip.AccessLog().empty());
  EXPECT_EQ(chip.ReadCount(0x6000), 0u);
}

TEST(SimChipAddressing, AccessesWrapAtTheTopOfTheAddressSpace) {
  SimChip chip;
  const uint8_t v[] = {0xAA, 0xBB, 0xCC};
  chip.Write(0xFFFF, v, 3, 15);
  EXPECT_EQ(chip.Peek(0xFFFF), 0xAA);
  EXPECT_EQ(chip.Peek(0x0000), 0xBB);
  EXPECT_THAT(chip.Read(0xFFFF, 3, 15), ElementsAreArray(v));
}

}  // namespace
}  // namespace sim
