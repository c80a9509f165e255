// The register operations: the exact reports they send, their results and
// their behaviour without a device.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/device/FakeLink.h"
#include "tests/device/SimDevice.h"

namespace {

using sim::ChipFamily;

using RegisterOps = SimDeviceTest;

TEST_F(RegisterOps, GoldenOutputReports) {
  struct Case {
    const char* name;
    ChipFamily family;
    std::function<uint32_t(CHidDevice*)> call;
    std::vector<Report> reports;
  } cases[] = {
      {"ReadChipReg8",
       ChipFamily::RU9,
       [](CHidDevice*) { return ReadChipReg8(0x8140) != kFailedReadByte ? 1u : 0u; },
       {ReportOf({3, 0, 0x0F, 0x81, 0x40, 0, 1})}},
      {"ReadChipRegs",
       ChipFamily::RU9,
       [](CHidDevice* d) {
         uint8_t buf[200];
         return ReadChipRegs(d, 0x8B98, buf, sizeof buf, 100);
       },
       {ReportOf({3, 0, 0x0F, 0x8B, 0x98, 0, 200})}},
      {"WriteChipReg8",
       ChipFamily::RU9,
       [](CHidDevice* d) { return WriteChipReg8(d, 0x814E, 0); },
       {ReportOf({3, 1, 0x0F, 0x81, 0x4E, 0, 1, 0})}},
      {"WriteChipReg16",
       ChipFamily::RU9,
       [](CHidDevice* d) { return WriteChipReg16(d, 0x8041, 0x00FF); },
       {ReportOf({3, 1, 0x0F, 0x80, 0x41, 0, 2, 0x00, 0xFF})}},
      {"StartDataStream(1), RU9",
       ChipFamily::RU9,
       [](CHidDevice*) { return StartDataStream(1); },
       {ReportOf({3, 1, 0x0F, 0x80, 0x46, 0, 1, 1}), ReportOf({3, 1, 0x06, 0x80, 0x40, 0, 1, 1})}},
      {"StartDataStream(0), RU9",
       ChipFamily::RU9,
       [](CHidDevice*) { return StartDataStream(0); },
       {ReportOf({3, 1, 0x0F, 0x80, 0x46, 0, 1, 0}), ReportOf({3, 1, 0x06, 0x80, 0x40, 0, 1, 0})}},
      {"StartDataStream(1), DE7",
       ChipFamily::DE7,
       [](CHidDevice*) { return StartDataStream(1); },
       {ReportOf({3, 1, 0x0F, 0x80, 0x41, 0, 2, 0x00, 0xFF}),
        ReportOf({3, 1, 0x06, 0x80, 0x40, 0, 1, 1})}},
      {"StartDataStream(0), DE7",
       ChipFamily::DE7,
       [](CHidDevice*) { return StartDataStream(0); },
       {ReportOf({3, 1, 0x0F, 0x80, 0x41, 0, 2, 0x00, 0x00}),
        ReportOf({3, 1, 0x06, 0x80, 0x40, 0, 1, 0})}},
      {"StopDataStream, RU9",
       ChipFamily::RU9,
       [](CHidDevice*) { return StopDataStream(); },
       {ReportOf({3, 1, 0x0F, 0x80, 0x46, 0, 1, 0}), ReportOf({3, 1, 0x07, 0x80, 0x40, 0, 1, 0}),
        ReportOf({3, 1, 0x0F, 0x81, 0x4E, 0, 1, 0})}},
      {"StopDataStream, DE7",
       ChipFamily::DE7,
       [](CHidDevice*) { return StopDataStream(); },
       {ReportOf({3, 1, 0x0F, 0x80, 0x41, 0, 2, 0, 0}), ReportOf({3, 1, 0x07, 0x80, 0x40, 0, 1, 0}),
        ReportOf({3, 1, 0x0F, 0x82, 0x4E, 0, 1, 0})}},
      {"ResetTouchChip",
       ChipFamily::RU9,
       [](CHidDevice*) { return ResetTouchChip(); },
       {ReportOf({3, 1, 0x04, 0x80, 0x40, 0, 1, 0})}},
      {"ClearSyncFlagAsync",
       ChipFamily::RU9,
       [](CHidDevice*) {
         ClearSyncFlagAsync();
         WaitForQueuedRequests();
         return 1u;
       },
       {ReportOf({3, 1, 0x0A, 0x81, 0x4E, 0, 1, 0})}},
      {"ReadChipRegsAsync",
       ChipFamily::RU9,
       [](CHidDevice* d) {
         static uint8_t buf[3];
         ReadChipRegsAsync(d, 0x81C0, buf, sizeof buf, 100, nullptr);
         WaitForQueuedRequests();
         return 1u;
       },
       {ReportOf({3, 0, 0x0B, 0x81, 0xC0, 0, 3})}},
      {"GetBridgeVersion",
       ChipFamily::RU9,
       [](CHidDevice*) { return GetBridgeVersion().empty() ? 0u : 1u; },
       {ReportOf({3, 0, 0x03, 0, 0, 0, 0x20})}},
      {"EnableDigitizer",
       ChipFamily::RU9,
       [](CHidDevice*) { return EnableDigitizer(); },
       {ReportOf({3, 1, 0x11, 0, 0, 0, 0})}},
      {"DisableDigitizer",
       ChipFamily::RU9,
       [](CHidDevice*) { return DisableDigitizer(); },
       {ReportOf({3, 1, 0x12, 0, 0, 0, 0})}},
      {"EnterBridgeUpgradeMode",
       ChipFamily::RU9,
       [](CHidDevice*) { return EnterBridgeUpgradeMode(); },
       {ReportOf({3, 1, 0x0E, 0, 0, 0, 0})}},
      {"OpenDevice", ChipFamily::RU9, [](CHidDevice*) { return OpenDevice(); }, {}},
      {"CloseDevice", ChipFamily::RU9, [](CHidDevice*) { return CloseDevice(); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    Connect(c.family);
    EXPECT_EQ(1u, c.call(device_.get()));
    EXPECT_EQ(c.reports, Sent());
  }
}

TEST_F(RegisterOps, ReadsAndWritesReachTheChip) {
  Connect();
  ASSERT_EQ(1u, WriteChipReg16(device_.get(), 0x3000, 0x1234));
  ASSERT_EQ(1u, WriteChipReg8(device_.get(), 0x3002, 0x56));
  EXPECT_EQ(0x12, ReadChipReg8(0x3000));
  EXPECT_EQ(0x34, ReadChipReg8(0x3001));
  uint8_t three[3] = {};
  ASSERT_EQ(1u, ReadChipRegs(device_.get(), 0x3000, three, 3, 100));
  EXPECT_EQ((std::vector<uint8_t>{0x12, 0x34, 0x56}), std::vector<uint8_t>(three, three + 3));
}

TEST_F(RegisterOps, AFailedReadLeaves0xEE) {
  Connect();
  Bridge().Chip().Poke(0x3000, 0x42);
  Bridge().SetSilent(true);
  const int64_t start = NowMs();
  EXPECT_EQ(0xEE, ReadChipReg8(0x3000));
  EXPECT_GE(NowMs() - start, 100);
  uint8_t buf[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(0u, ReadChipRegs(device_.get(), 0x3000, buf, 4, 100));
  EXPECT_EQ((std::vector<uint8_t>{0xEE, 0xEE, 0xEE, 0xEE, 5}), std::vector<uint8_t>(buf, buf + 5));
  EXPECT_EQ("", GetBridgeVersion());
}

TEST_F(RegisterOps, PollReadsUntilTheValueMatchesOrTheTriesRunOut) {
  Connect();
  Bridge().Chip().Poke(0x3000, 0x07);
  struct Case {
    uint8_t expected;
    uint32_t tries;
    uint32_t result;
    size_t reads;
  } cases[] = {{0x07, 3, 1, 1}, {0x08, 3, 0, 3}, {0x08, 1, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "expect " << int(c.expected) << ", tries " << c.tries);
    Bridge().Chip().ClearAccessLog();
    EXPECT_EQ(c.result, PollChipReg8(0x3000, c.expected, c.tries));
    EXPECT_EQ(c.reads, Bridge().Chip().ReadCount(0x3000));
  }
}

TEST_F(RegisterOps, PollStopsOnceTheBridgeIsGone) {
  Connect();
  ForwardingLink counter(*device_);
  GetRequestQueue().SelectLink(&counter);
  Bridge().Unplug();
  EXPECT_EQ(0u, PollChipReg8(0x3000, 0x07, 1000));
  GetRequestQueue().SelectLink(nullptr);
  EXPECT_EQ(1, counter.Count());
}

TEST_F(RegisterOps, StopDataStreamClearsTheFlagEvenWhenTheStopCommandFails) {
  Connect();
  ASSERT_EQ(1u, StartDataStream(1));
  EXPECT_EQ(1u, device_->StreamMode());
  Bridge().Chip().Poke(0x814E, 0x80);
  Bridge().Trace().Clear();

  ForwardingLink failStop(*device_);
  failStop.before_ = [&](CHidRequest& r) {
    if (r.bridgeCmd == BridgeCmdStreamStop) Bridge().FailNextWrites(1);
  };
  GetRequestQueue().SelectLink(&failStop);
  EXPECT_EQ(0u, StopDataStream());
  GetRequestQueue().SelectLink(nullptr);

  const std::vector<Report> sent = Sent();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(ReportOf({3, 1, 0x0F, 0x81, 0x4E, 0, 1, 0}), sent.back());
  EXPECT_EQ(0, Bridge().Chip().Peek(0x814E));
  EXPECT_EQ(0u, device_->StreamMode());
}

TEST_F(RegisterOps, StreamModeFollowsTheLastStreamCommand) {
  Connect();
  struct Step {
    std::function<uint32_t()> call;
    uint32_t mode;
  } steps[] = {{[] { return StartDataStream(1); }, 1},
               {[] { return StartDataStream(0); }, 0},
               {[] { return StartDataStream(1); }, 1},
               {[] { return StopDataStream(); }, 0},
               {[] { return StartDataStream(2); }, 0}};
  for (const Step& s : steps) {
    EXPECT_EQ(1u, s.call());
    EXPECT_EQ(s.mode, device_->StreamMode());
  }
}

TEST_F(RegisterOps, De7FamilyByBridgeModelAndChipName) {
  struct Case {
    uint16_t pid;
    uint16_t modelCode;
    const char* chipName;
    bool de7;
  } cases[] = {
      {sim::kSimDe7BridgePid, 0, "", true},
      {sim::kSimDe7BridgePid, 0, "RO9110V", true},
      {sim::kSimSharedBridgePid, 0, "RO7XXX", true},
      {sim::kSimSharedBridgePid, 0, "RO9XXX", true},
      {sim::kSimSharedBridgePid, 0, "RO7388", true},
      {sim::kSimSharedBridgePid, 0, "RO9110V", false},
      {sim::kSimSharedBridgePid, 0, "", false},
      {sim::kSimRu9BridgePid, 0, "RO7388", false},
      {sim::kSimRu9BridgePid, sim::kSimDe7BridgePid, "", true},
      {sim::kSimDe7BridgePid, sim::kSimRu9BridgePid, "RO7388", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << std::hex << c.pid << "/" << c.modelCode << " " << c.chipName);
    TearDown();
    SetUp();
    sim::BridgeConfig config = sim::DefaultBridgeConfig(ChipFamily::RU9);
    config.productId = c.pid;
    Plug(config, ChipFamily::RU9);
    Connect();
    device_->SetModelCode(c.modelCode);
    SetChipName(c.chipName);
    EXPECT_EQ(c.de7, device_->IsDe7Family());
  }
}

TEST_F(RegisterOps, BridgeVersionText) {
  struct Case {
    const char* name;
    std::string versionText;
    uint16_t bcd;
    bool early;
    std::string expected;
  } cases[] = {
      {"plain text", "V64 1.2", 0x0110, false, "V64 1.2"},
      {"Latin-1 bytes become UTF-8", "Ver\xE9 \xB5", 0x0110, false, "Ver\xC3\xA9 \xC2\xB5"},
      {"all 32 bytes, no terminator", std::string(40, 'x'), 0x0110, false, std::string(32, 'x')},
      {"early model, early firmware", "ignored", 0x0108, true, "VID:0x27c0, PID:0x0101, Rev: 108"},
      {"early model, later firmware", "V2", 0x0109, true, "V2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    BridgeModelTable models = SimBridgeModels();
    if (c.early) models.earlyPid = sim::kSimRu9BridgePid;
    SetBridgeModels(models);
    sim::BridgeConfig config = sim::DefaultBridgeConfig(ChipFamily::RU9);
    config.versionText = c.versionText;
    config.bcdDevice = c.bcd;
    Plug(config, ChipFamily::RU9);
    Connect();
    EXPECT_EQ(c.expected, GetBridgeVersion());
  }
}

TEST_F(RegisterOps, DigitizerAndUpgradeCommandsReachTheBridge) {
  Connect();
  EXPECT_EQ(1u, DisableDigitizer());
  EXPECT_FALSE(Bridge().DigitizerEnabled());
  EXPECT_EQ(1u, EnableDigitizer());
  EXPECT_TRUE(Bridge().DigitizerEnabled());
  EXPECT_EQ(1u, EnterBridgeUpgradeMode());
  EXPECT_EQ(1u, Bridge().ProgrammingDeviceArrivals());
}

// Without a device object nothing is queued, nothing is sent.
TEST(RegisterOpsWithoutDevice, FailWithoutTraffic) {
  FakeLink link;
  DispatcherOn dispatcher(link);
  ASSERT_EQ(nullptr, g_pBridgeDevice.load());
  uint8_t buf[4] = {1, 2, 3, 4};
  EXPECT_EQ(kFailedReadByte, ReadChipReg8(0x8140));
  EXPECT_EQ(0u, ReadChipRegs(nullptr, 0x8140, buf, 4, 100));
  EXPECT_EQ(0u, ReadChipRegsAsync(nullptr, 0x8140, buf, 4, 100, nullptr));
  EXPECT_EQ(0u, WriteChipRegs(0x8140, buf, 4));
  EXPECT_EQ(0u, WriteChipReg8(nullptr, 0x8140, 1));
  EXPECT_EQ(0u, WriteChipReg16(nullptr, 0x8140, 1));
  EXPECT_EQ(0u, PollChipReg8(0x8140, 1, 5));
  EXPECT_EQ(0u, StartDataStream(1));
  EXPECT_EQ(0u, StopDataStream());
  EXPECT_EQ(0u, ClearSyncFlagAsync());
  EXPECT_EQ("", GetBridgeVersion());
  WaitForQueuedRequests();
  EXPECT_EQ(1u, link.Executed());  // only the marker
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), std::vector<uint8_t>(buf, buf + 4));
}

// Operations that need no device object still finish when no dispatcher runs.
TEST(RegisterOpsWithoutDevice, OperationsWithoutADispatcherReturnAtOnce) {
  ASSERT_FALSE(GetRequestQueue().HasDispatcher());
  EXPECT_EQ(0u, ResetTouchChip());
  EXPECT_EQ(0u, OpenDevice());
  EXPECT_EQ(0u, CloseDevice());
  EXPECT_EQ(0u, EnableDigitizer());
  EXPECT_EQ(0u, DisableDigitizer());
  EXPECT_EQ(0u, EnterBridgeUpgradeMode());
}

}  // namespace
