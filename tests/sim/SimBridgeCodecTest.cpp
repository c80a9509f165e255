// The bridge's report codec and command set, zero latency on a virtual clock.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/SimBridgePort.h"
#include "sim/SimHidBackend.h"
#include "tests/sim/SimTestUtil.h"

namespace sim {
namespace {

using platform::HidIoResult;
using test::MakeReport;
using test::ReadOne;
using test::Send;
using ::testing::ElementsAre;

class BridgeCodec : public ::testing::Test {
 protected:
  std::shared_ptr<SimBridge> bridge = MakeDefaultBridge(ChipFamily::RU9);
  SimBridgePort port{bridge, platform::HidDeviceInfo{}};
};

TEST_F(BridgeCodec, ReadIsAnsweredWithFullPaddedReports) {
  std::vector<uint8_t> pattern(7040);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + 1);
  bridge->Chip().PokeRange(0x2000, pattern);

  for (uint16_t length : {1, 63, 64, 126, 200, 7040}) {
    bridge->Trace().Clear();
    ASSERT_EQ(Send(port, MakeReport(0, 15, 0x2000, length)), HidIoResult::Ok);
    const size_t reports = (length + 62) / 63;
    ASSERT_EQ(bridge->PendingInputReports(), reports) << length;
    std::vector<uint8_t> data;
    for (size_t r = 0; r < reports; ++r) {
      auto got = ReadOne(port);
      ASSERT_EQ(got.result, HidIoResult::Ok);
      ASSERT_EQ(got.bytes.size(), 64u) << "every report is full size";
      EXPECT_EQ(got.bytes[0], kInputReportId);
      data.insert(data.end(), got.bytes.begin() + 1, got.bytes.end());
    }
    EXPECT_EQ(ReadOne(port, 5).result, HidIoResult::Timeout) << "no extra report for " << length;
    EXPECT_TRUE(std::equal(pattern.begin(), pattern.begin() + length, data.begin())) << length;
    EXPECT_TRUE(std::all_of(data.begin() + length, data.end(), [](uint8_t b) { return b == 0; }))
        << "last report zero-padded for " << length;
  }
}

TEST_F(BridgeCodec, ReadOfZeroBytesGetsNoReport) {
  Send(port, MakeReport(0, 15, 0x8140, 0));
  EXPECT_EQ(bridge->PendingInputReports(), 0u);
  EXPECT_EQ(ReadOne(port, 10).result, HidIoResult::Timeout);
}

TEST_F(BridgeCodec, EveryReadCommandReadsTheChip) {
  for (uint8_t cmd : {11, 13, 15}) {
    EXPECT_THAT(test::ReadRegs(port, 0x8140, 4, cmd), ElementsAre('9', '1', '1', '1')) << int(cmd);
  }
}

TEST_F(BridgeCodec, MultiReportWritesLandAtEachReportsAddress) {
  for (size_t n : {1u, 57u, 58u, 114u, 115u, 8192u}) {
    std::vector<uint8_t> data(n);
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(i * 13 + n);
    bridge->Trace().Clear();
    test::SendWrite(port, 15, 0x3000, data);
    EXPECT_EQ(bridge->Chip().PeekRange(0x3000, n), data) << n;
    EXPECT_EQ(bridge->Trace().OutputReports().size(), (n + 56) / 57) << n;
    EXPECT_EQ(bridge->PendingInputReports(), 0u) << "writes are not answered";
  }
}

TEST_F(BridgeCodec, WriteAppliesOnlyThisReportsLengthNotTheStaleTail) {
  Send(port, MakeReport(1, 15, 0x3000, 2, {0x11, 0x22, 0x33, 0x44}));
  EXPECT_THAT(bridge->Chip().PeekRange(0x3000, 4), ElementsAre(0x11, 0x22, 0, 0));
}

TEST_F(BridgeCodec, VersionTextIs32BytesNulPadded) {
  auto text = test::ReadRegs(port, 0, 32, 3);
  ASSERT_EQ(text.size(), 32u);
  const std::string expected = "Kestrana SimBridge V1.10";
  EXPECT_EQ(std::string(text.begin(), text.begin() + expected.size()), expected);
  EXPECT_TRUE(
      std::all_of(text.begin() + expected.size(), text.end(), [](uint8_t b) { return b == 0; }));

  BridgeConfig config = DefaultBridgeConfig(ChipFamily::RU9);
  config.versionText = std::string(40, 'V');
  auto longBridge = std::make_shared<SimBridge>(config, SimChipConfig{}, nullptr);
  SimBridgePort longPort(longBridge, {});
  auto cut = test::ReadRegs(longPort, 0, 40, 3);
  EXPECT_EQ(std::count(cut.begin(), cut.end(), 'V'), 32) << "the text field is 32 bytes at most";
}

TEST_F(BridgeCodec, StreamCommandsResetAndDigitizerFlag) {
  SimChip& chip = bridge->Chip();
  Send(port, MakeReport(1, 6, 0x8040, 1, {1}));
  EXPECT_TRUE(chip.IsStreaming());
  Send(port, MakeReport(1, 7, 0x8040, 1, {0}));
  EXPECT_FALSE(chip.IsStreaming());

  Send(port, MakeReport(1, 6, 0x8040, 1, {1}));
  Send(port, MakeReport(1, 15, 0x9000, 1, {0x5A}));
  Send(port, MakeReport(1, 4, 0x8040, 1, {0}));
  EXPECT_FALSE(chip.IsStreaming());
  EXPECT_EQ(chip.Peek(0x9000), 0) << "reset re-initialises the register file";

  EXPECT_TRUE(bridge->DigitizerEnabled());
  Send(port, MakeReport(1, 18, 0, 0));
  EXPECT_FALSE(bridge->DigitizerEnabled());
  Send(port, MakeReport(1, 17, 0, 0));
  EXPECT_TRUE(bridge->DigitizerEnabled());
  EXPECT_EQ(bridge->MalformedReports(), 0u);
}

TEST_F(BridgeCodec, FlagPollAndClearThroughTheBridge) {
  Send(port, MakeReport(1, 6, 0x8040, 1, {1}));
  EXPECT_THAT(test::ReadRegs(port, 0x814E, 1), ElementsAre(0));
  EXPECT_THAT(test::ReadRegs(port, 0x814E, 1), ElementsAre(kFlagReady));
  Send(port, MakeReport(1, 10, 0x814E, 1, {0}));
  EXPECT_THAT(test::ReadRegs(port, 0x814E, 1), ElementsAre(0));
  EXPECT_EQ(bridge->Chip().ReadCount(0x814E), 3u);
}

TEST_F(BridgeCodec, MalformedReportsAreIgnoredAndCounted) {
  const uint16_t target = 0x3000;
  struct Case {
    const char* what;
    test::Report report;
    size_t length;
  };
  test::Report wrongId = MakeReport(1, 15, target, 1, {0xEE});
  wrongId[0] = 2;
  const Case cases[] = {
      {"wrong report id", wrongId, 64},
      {"header cut short", MakeReport(1, 15, target, 1, {0xEE}), 6},
      {"write length over 57", MakeReport(1, 15, target, 58, {0xEE}), 64},
      {"write data past the report", MakeReport(1, 15, target, 10, {0xEE}), 12},
      {"unknown op", MakeReport(2, 15, target, 1, {0xEE}), 64},
      {"unknown write command", MakeReport(1, 99, target, 1, {0xEE}), 64},
      {"unknown read command", MakeReport(0, 99, target, 1), 64},
  };
  size_t expected = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(port.Write(c.report.data(), c.length, 100), HidIoResult::Ok) << c.what;
    EXPECT_EQ(bridge->MalformedReports(), ++expected) << c.what;
    EXPECT_EQ(bridge->Chip().Peek(target), 0) << c.what;
    EXPECT_EQ(bridge->PendingInputReports(), 0u) << c.what;
  }
  const uint8_t oversize[65] = {3};
  EXPECT_EQ(port.Write(oversize, sizeof oversize, 100), HidIoResult::Error);
  EXPECT_EQ(port.Write(nullptr, 64, 100), HidIoResult::Error);
}

TEST_F(BridgeCodec, TraceRecordsBothDirectionsInOrder) {
  bridge->Trace().Clear();
  Send(port, MakeReport(0, 15, 0x8140, 70));
  ReadOne(port);
  ReadOne(port);
  const auto trace = bridge->Trace().Entries();
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[0].dir, TraceDir::Out);
  EXPECT_THAT(std::vector<uint8_t>(trace[0].bytes.begin(), trace[0].bytes.begin() + 7),
              ElementsAre(3, 0, 15, 0x81, 0x40, 0, 70));
  EXPECT_EQ(trace[1].dir, TraceDir::In);
  EXPECT_EQ(trace[1].bytes[1], '9');
  EXPECT_EQ(trace[2].dir, TraceDir::In);
  EXPECT_EQ(trace[2].length, 64u);
}

TEST_F(BridgeCodec, SmallReadBufferGetsTheHeadOfTheReport) {
  Send(port, MakeReport(0, 15, 0x8140, 4));
  uint8_t buf[3] = {};
  size_t n = 99;
  EXPECT_EQ(port.Read(buf, sizeof buf, &n, 10), HidIoResult::Ok);
  EXPECT_EQ(n, 3u);
  EXPECT_THAT(buf, ElementsAre(kInputReportId, '9', '1'));
}

}  // namespace
}  // namespace sim
