// Each injected fault does what it says, on the virtual clock.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

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

class BridgeFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint8_t> pattern(300);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i + 1);
    bridge->Chip().PokeRange(0x2000, pattern);
  }
  std::vector<uint8_t> Expected(size_t n) { return bridge->Chip().PeekRange(0x2000, n); }
  std::shared_ptr<SimClock> clock = SimClock::MakeVirtual();
  std::shared_ptr<SimBridge> bridge = MakeDefaultBridge(ChipFamily::RU9, clock);
  SimBridgePort port{bridge, platform::HidDeviceInfo{}};
};

TEST_F(BridgeFaults, SilentChipAnswersNoReadAndTakesNoWrite) {
  bridge->SetSilent(true);
  const int64_t t0 = clock->NowUs();
  Send(port, MakeReport(0, 15, 0x2000, 4));
  EXPECT_EQ(ReadOne(port, 100).result, HidIoResult::Timeout);
  EXPECT_EQ(clock->NowUs() - t0, 100000);
  Send(port, MakeReport(1, 15, 0x2000, 1, {0xEE}));
  EXPECT_EQ(bridge->Chip().Peek(0x2000), 1);

  bridge->SetSilent(false);
  EXPECT_EQ(test::ReadRegs(port, 0x2000, 4), Expected(4));
}

TEST_F(BridgeFaults, SilenceNextReadsCountsDown) {
  bridge->SilenceNextReads(2);
  for (int i = 0; i < 2; ++i) {
    Send(port, MakeReport(0, 15, 0x2000, 1));
    EXPECT_EQ(ReadOne(port, 50).result, HidIoResult::Timeout) << i;
  }
  EXPECT_EQ(test::ReadRegs(port, 0x2000, 1), Expected(1));
}

TEST_F(BridgeFaults, LateAnswerArrivesAfterTheTimeOutAndBeforeTheNextAnswer) {
  // Just late: it lands within the next request's drain window.
  bridge->Chip().Poke(0x2100, 0xAB);
  bridge->DelayNextAnswer(101);
  Send(port, MakeReport(0, 15, 0x2000, 1));
  EXPECT_EQ(ReadOne(port, 100).result, HidIoResult::Timeout);
  port.DiscardInput();
  EXPECT_THAT(test::ReadRegs(port, 0x2100, 1), ElementsAre(0xAB));

  // Very late: without a drain the host takes the old answer for the new one.
  bridge->DelayNextAnswer(150);
  Send(port, MakeReport(0, 15, 0x2000, 1));
  EXPECT_EQ(ReadOne(port, 100).result, HidIoResult::Timeout);
  Send(port, MakeReport(0, 15, 0x2100, 1));
  auto first = ReadOne(port, 100);
  ASSERT_EQ(first.result, HidIoResult::Ok);
  EXPECT_EQ(first.bytes[1], Expected(1)[0]) << "the late answer comes first";
  auto second = ReadOne(port, 100);
  ASSERT_EQ(second.result, HidIoResult::Ok);
  EXPECT_EQ(second.bytes[1], 0xAB);
}

TEST_F(BridgeFaults, StaleReportsAreJunkAheadOfTheAnswerUntilDrained) {
  bridge->InjectStaleReports(3);
  Send(port, MakeReport(0, 15, 0x2000, 2));
  auto junk = ReadOne(port);
  ASSERT_EQ(junk.result, HidIoResult::Ok);
  EXPECT_EQ(junk.bytes.size(), 64u);
  EXPECT_EQ(junk.bytes[1], kStaleFill);

  port.DiscardInput();
  EXPECT_EQ(bridge->PendingInputReports(), 0u);
  EXPECT_EQ(test::ReadRegs(port, 0x2000, 2), Expected(2));
}

TEST_F(BridgeFaults, ShapedAnswersStillCarryTheRightBytes) {
  struct Case {
    const char* what;
    AnswerShape shape;
    size_t length;
    size_t reports;            // input reports of the answer
    size_t transferredOfData;  // size of each data report
  };
  const Case cases[] = {
      {"id-only report before each", {63, 1}, 200, 8, 64},
      {"two id-only reports before each", {63, 2}, 63, 3, 64},
      {"split into 20-byte reports", {20, 0}, 200, 10, 21},
      {"one byte per report", {1, 0}, 5, 5, 2},
      {"short and interleaved", {10, 1}, 25, 6, 11},
  };
  for (const Case& c : cases) {
    bridge->ShapeNextAnswers(c.shape);
    Send(port, MakeReport(0, 15, 0x2000, static_cast<uint16_t>(c.length)));
    ASSERT_EQ(bridge->PendingInputReports(), c.reports) << c.what;
    std::vector<uint8_t> data;
    size_t idOnly = 0;
    for (size_t r = 0; r < c.reports; ++r) {
      auto got = ReadOne(port);
      ASSERT_EQ(got.result, HidIoResult::Ok) << c.what;
      if (got.bytes.size() == 1) {
        ++idOnly;
        continue;
      }
      EXPECT_EQ(got.bytes.size(), c.transferredOfData) << c.what;
      data.insert(data.end(), got.bytes.begin() + 1, got.bytes.end());
    }
    EXPECT_EQ(idOnly,
              c.reports - (c.length + c.shape.dataBytesPerReport - 1) / c.shape.dataBytesPerReport)
        << c.what;
    data.resize(c.length);
    EXPECT_EQ(data, Expected(c.length)) << c.what;
    EXPECT_EQ(test::ReadRegs(port, 0x2000, 63), Expected(63)) << c.what << ": next answer normal";
  }
}

TEST_F(BridgeFaults, FailedWritesAreNotAppliedAndReportTheirResult) {
  bridge->FailNextWrites(2, HidIoResult::Error);
  EXPECT_EQ(Send(port, MakeReport(1, 15, 0x3000, 1, {1})), HidIoResult::Error);
  EXPECT_EQ(Send(port, MakeReport(1, 7, 0x8040, 1, {0})), HidIoResult::Error);
  EXPECT_EQ(Send(port, MakeReport(1, 15, 0x3001, 1, {2})), HidIoResult::Ok);
  EXPECT_THAT(bridge->Chip().PeekRange(0x3000, 2), ElementsAre(0, 2));

  bridge->FailNextWrites(1, HidIoResult::Timeout);
  const int64_t t0 = clock->NowUs();
  EXPECT_EQ(port.Write(MakeReport(0, 15, 0x3000, 1).data(), 64, 200), HidIoResult::Timeout);
  EXPECT_EQ(clock->NowUs() - t0, 200000) << "a timed-out write took its time-out";
  EXPECT_EQ(bridge->PendingInputReports(), 0u) << "the failed read request was not seen";

  const auto trace = bridge->Trace().Entries();
  EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                          [](const TraceEntry& e) { return e.dir == TraceDir::OutFailed; }),
            3);
  bridge->FailNextWrites(5);
  bridge->ClearFaults();
  EXPECT_EQ(Send(port, MakeReport(1, 15, 0x3000, 1, {3})), HidIoResult::Ok);
}

TEST_F(BridgeFaults, UnplugMakesEveryCallRemovedUntilClose) {
  Send(port, MakeReport(0, 15, 0x2000, 200));
  bridge->Unplug();
  EXPECT_EQ(bridge->PendingInputReports(), 0u);
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(Send(port, MakeReport(0, 15, 0x2000, 1)), HidIoResult::Removed);
  const int64_t t0 = clock->NowUs();
  EXPECT_EQ(ReadOne(port, 0xFFFFFFFF).result, HidIoResult::Removed) << "fails at once";
  port.DiscardInput();
  EXPECT_EQ(clock->NowUs(), t0);

  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(Send(port, MakeReport(0, 15, 0x2000, 1)), HidIoResult::Error);
  EXPECT_EQ(ReadOne(port).result, HidIoResult::Error);
}

TEST_F(BridgeFaults, FlagNeverComesWhileStreaming) {
  bridge->Chip().SetFlagNeverReady(true);
  Send(port, MakeReport(1, 6, 0x8040, 1, {1}));
  for (int i = 0; i < 40; ++i) EXPECT_THAT(test::ReadRegs(port, 0x814E, 1), ElementsAre(0)) << i;
  EXPECT_EQ(bridge->Chip().ReadCount(0x814E), 40u);
}

TEST_F(BridgeFaults, TraceAndFaultsAreSafeFromAnotherThread) {
  std::atomic<bool> done{false};
  std::thread io([&] {
    for (int i = 0; i < 300; ++i) {
      Send(port, MakeReport(0, 15, 0x2000, 100));
      port.DiscardInput();
    }
    done = true;
  });
  while (!done) {
    bridge->Trace().Size();
    bridge->Trace().Entries();
    bridge->Chip().AccessLog();
    bridge->InjectStaleReports(1);
    bridge->ShapeNextAnswers({20, 1});
  }
  io.join();
  EXPECT_GE(bridge->Trace().Size(), 300u);
}

}  // namespace
}  // namespace sim
