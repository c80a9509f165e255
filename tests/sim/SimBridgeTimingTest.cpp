// Wire time, answer latency, time-outs and draining on the simulator's clock.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
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

class BridgeTiming : public ::testing::Test {
 protected:
  std::shared_ptr<SimClock> clock = SimClock::MakeVirtual();
  std::shared_ptr<SimBridge> bridge = MakeDefaultBridge(ChipFamily::RU9, clock);
  SimBridgePort port{bridge, platform::HidDeviceInfo{}};
};

TEST_F(BridgeTiming, WireTimedFrameReadIsDueOneReportTimeAfterTheOther) {
  bridge->SetReportWireUs(1000);
  clock->Advance(7);
  const int64_t t0 = clock->NowUs();
  ASSERT_EQ(Send(port, MakeReport(0, 13, kRawFrameAddress, 2520)), HidIoResult::Ok);
  EXPECT_EQ(clock->NowUs(), t0 + 1000) << "sending the request takes one report time";

  for (int k = 1; k <= 40; ++k) {
    auto got = ReadOne(port, 100);
    ASSERT_EQ(got.result, HidIoResult::Ok) << k;
    EXPECT_EQ(clock->NowUs(), t0 + 1000 + k * 1000) << "report " << k;
  }
  EXPECT_EQ(clock->NowUs() - t0, 41 * 1000);
}

TEST_F(BridgeTiming, WireTimedWriteTakesOneReportTimePerReport) {
  bridge->SetReportWireUs(1000);
  const int64_t t0 = clock->NowUs();
  test::SendWrite(port, 15, 0x3000, std::vector<uint8_t>(8192, 1));
  EXPECT_EQ(clock->NowUs() - t0, 144 * 1000);
}

TEST_F(BridgeTiming, AnswerLatencyAndTimeOutsMoveTheVirtualClock) {
  bridge->SetAnswerLatencyUs(5000);
  const int64_t t0 = clock->NowUs();
  Send(port, MakeReport(0, 15, 0x8140, 1));
  EXPECT_EQ(ReadOne(port, 3).result, HidIoResult::Timeout);
  EXPECT_EQ(clock->NowUs(), t0 + 3000) << "a time-out waits exactly its time";
  auto got = ReadOne(port, 10);
  EXPECT_EQ(got.result, HidIoResult::Ok);
  EXPECT_EQ(clock->NowUs(), t0 + 5000) << "the answer arrives at its due time, not the time-out";

  EXPECT_EQ(ReadOne(port, 0).result, HidIoResult::Timeout);
  EXPECT_EQ(clock->NowUs(), t0 + 5000) << "a zero time-out does not wait";
  clock->Advance(250);
  EXPECT_EQ(clock->NowUs(), t0 + 255000);
}

TEST_F(BridgeTiming, DiscardEndsAfterTwoQuietMilliseconds) {
  const int64_t t0 = clock->NowUs();
  bridge->InjectStaleReports(2);  // due now
  bridge->DelayNextAnswer(1);
  Send(port, MakeReport(0, 15, 0x8140, 1));  // due t0 + 1 ms: inside the window
  bridge->DelayNextAnswer(5);
  Send(port, MakeReport(0, 15, 0x8141, 1));  // due t0 + 5 ms: after 2 quiet ms
  ASSERT_EQ(bridge->PendingInputReports(), 4u);

  port.DiscardInput();
  EXPECT_EQ(bridge->PendingInputReports(), 1u);
  EXPECT_EQ(clock->NowUs(), t0 + 3000) << "last discard at 1 ms, then 2 quiet ms";
  const auto trace = bridge->Trace().Entries();
  EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                          [](const TraceEntry& e) { return e.dir == TraceDir::InDiscarded; }),
            3);
  auto survivor = ReadOne(port, 10);
  ASSERT_EQ(survivor.result, HidIoResult::Ok);
  EXPECT_EQ(survivor.bytes[1], '1') << "the answer for 0x8141 survives";
}

TEST_F(BridgeTiming, DiscardWithNothingQueuedWaitsTwoMilliseconds) {
  const int64_t t0 = clock->NowUs();
  port.DiscardInput();
  EXPECT_EQ(clock->NowUs(), t0 + 2000);
}

TEST(BridgeRealClock, AnswersWaitForTheirTimeAndCloseWakesAWaitingRead) {
  auto clock = SimClock::MakeReal();
  auto bridge = MakeDefaultBridge(ChipFamily::RU9, clock);
  bridge->SetAnswerLatencyUs(20000);
  SimBridgePort port(bridge, {});
  const int64_t t0 = clock->NowUs();
  Send(port, MakeReport(0, 15, 0x8140, 1));
  auto got = ReadOne(port, 5000);
  ASSERT_EQ(got.result, HidIoResult::Ok);
  EXPECT_EQ(got.bytes[1], '9');
  EXPECT_GE(clock->NowUs() - t0, 20000) << "the answer is never early";

  auto waiting = std::async(std::launch::async, [&] { return ReadOne(port, 0xFFFFFFFF).result; });
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  port.Close();
  if (waiting.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    bridge->Unplug();  // unblock the reader so the test ends
    FAIL() << "Close did not wake the waiting read";
  }
  EXPECT_EQ(waiting.get(), HidIoResult::Error);
}

}  // namespace
}  // namespace sim
