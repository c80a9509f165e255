// The touch demo's read chain on the simulated bridge (virtual clock): the
// order of its requests with and without the pen, what it delivers, a failed
// read ending it, and a restart while a read is in flight leaving one chain.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/DataPlane.h"
#include "tests/device/SimDevice.h"
#include "tests/views/RecordingLog.h"
#include "views/TouchStream.h"

namespace {

class TouchStreamTest : public SimDeviceTest {
 protected:
  sim::DataPlane& ConnectWithPanel(sim::ChipFamily family) {
    Plug(family);
    sim::DataPlane& plane = sim::AddDataPlane(Bridge().Chip(), sim::DataPlaneConfig::For(family));
    Connect(family);
    return plane;
  }

  void TearDown() override {
    if (stream_) stream_->Stop();
    WaitForQueuedRequests();
    stream_.reset();
    SimDeviceTest::TearDown();
  }

  void MakeStream() {
    stream_ = TouchStream::Create([this](TouchFrame&& frame) {
      std::lock_guard lock(mutex_);
      frames_.push_back(std::move(frame));
      cv_.notify_all();
    });
  }

  // Waits (generously bounded: a real dispatcher thread runs the chain) for
  // n frames, then ends the chain and lets its last request finish.
  bool CollectAndStop(size_t n) {
    bool got;
    {
      std::unique_lock lock(mutex_);
      got = cv_.wait_for(lock, std::chrono::seconds(10), [&] { return frames_.size() >= n; });
    }
    stream_->Stop();
    WaitForQueuedRequests();
    return got;
  }

  // Bridge commands of the chain's own requests, in the order sent.
  std::vector<int> ChainCommands() {
    std::vector<int> out;
    for (const Report& r : Sent()) {
      if (r[2] == BridgeCmdFrameRead || r[2] == BridgeCmdAsyncRead || r[2] == BridgeCmdAsyncWrite) {
        out.push_back(r[2]);
      }
    }
    return out;
  }

  std::shared_ptr<TouchStream> stream_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<TouchFrame> frames_;
};

// Checks that commands repeat `period` from the start; a last, unfinished
// period may be cut short.
void ExpectRepeats(const std::vector<int>& commands, const std::vector<int>& period) {
  ASSERT_GE(commands.size(), period.size() * 3);
  for (size_t i = 0; i < commands.size(); ++i) {
    ASSERT_EQ(period[i % period.size()], commands[i]) << "at " << i;
  }
}

TEST_F(TouchStreamTest, DeliversReportsOfTheScriptedTouches) {
  struct Case {
    sim::ChipFamily family;
    sim::TouchState touches;
    int count;
    std::vector<int> period;
  } cases[] = {
      {sim::ChipFamily::RU9,
       {{{3, 100, 200, 30}, {5, 1000, 1900, 60}}, 0x4},
       2,
       {BridgeCmdFrameRead, BridgeCmdAsyncWrite}},
      {sim::ChipFamily::RU9, {{}, 0}, 0, {BridgeCmdFrameRead, BridgeCmdAsyncWrite}},
      // The DE7 bridge answers a ready flag of 0x80 (no touch) without reading the report.
      {sim::ChipFamily::DE7, {{}, 0}, 0, {BridgeCmdAsyncWrite}},
      {sim::ChipFamily::DE7, {{{9, 7, 8, 20}}, 0}, 1, {BridgeCmdFrameRead, BridgeCmdAsyncWrite}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.family) * 10 + c.count);
    backend_ = std::make_shared<sim::SimHidBackend>();
    frames_.clear();
    sim::DataPlane& plane = ConnectWithPanel(c.family);
    plane.ScriptTouches(c.touches);
    MakeStream();
    ASSERT_EQ(1u, StartDataStream(0));
    Bridge().Trace().Clear();
    stream_->Start();
    ASSERT_TRUE(CollectAndStop(4));
    EXPECT_TRUE(stream_->IsStopped());
    ExpectRepeats(ChainCommands(), c.period);

    for (const TouchFrame& frame : frames_) {
      EXPECT_FALSE(frame.hasStylus);
      const TouchReport r = ParseTouchReport(frame.report.data(), frame.report.size());
      ASSERT_EQ(c.count, r.count);
      for (int i = 0; i < c.count; ++i) {
        const sim::Contact& want = c.touches.contacts[static_cast<size_t>(i)];
        EXPECT_EQ((ReportedPoint{want.id, want.x, want.y, want.size}),
                  r.points[static_cast<size_t>(i)]);
      }
      EXPECT_EQ(c.touches.keys, r.keyBits);
    }
    stream_.reset();
    g_pBridgeDevice = nullptr;
    device_.reset();
  }
}

TEST_F(TouchStreamTest, PenReadFollowsEachReport) {
  sim::DataPlane& plane = ConnectWithPanel(sim::ChipFamily::RU9);
  plane.ScriptTouches({{{2, 500, 900, 40}}, 0});
  MakeStream();
  stream_->SetActivePen(true);
  ASSERT_EQ(1u, StartDataStream(1));
  Bridge().Trace().Clear();
  stream_->Start();
  ASSERT_TRUE(CollectAndStop(3));
  ExpectRepeats(ChainCommands(), {BridgeCmdFrameRead, BridgeCmdAsyncRead, BridgeCmdAsyncWrite});
  for (const TouchFrame& frame : frames_) {
    ASSERT_TRUE(frame.hasStylus);
    EXPECT_EQ(144u, frame.stylus.size());
    EXPECT_EQ(1, ParseTouchReport(frame.report.data(), frame.report.size()).count);
  }
}

TEST_F(TouchStreamTest, FailedReadEndsTheChain) {
  ConnectWithPanel(sim::ChipFamily::RU9);
  MakeStream();
  views_test::RecordingLog log;
  stream_->SetLog(&log);
  Bridge().SilenceNextReads(1000);
  stream_->Start();
  WaitForQueuedRequests();
  EXPECT_TRUE(stream_->IsStopped());
  EXPECT_TRUE(frames_.empty());
  // Said once, so the frozen picture has a reason.
  ASSERT_EQ(1u, log.Lines().size());
  EXPECT_EQ("触控演示：读取坐标失败，数据流已停止", log.Lines()[0]);
  Bridge().ClearFaults();
  // Nothing is left running: the queue stays empty.
  Bridge().Trace().Clear();
  WaitForQueuedRequests();
  EXPECT_TRUE(ChainCommands().empty());
}

TEST_F(TouchStreamTest, RestartWhileAReadIsInFlightLeavesOneChain) {
  ConnectWithPanel(sim::ChipFamily::RU9);
  MakeStream();
  ForwardingLink link(*device_);
  bool restarted = false;
  link.before_ = [&](CHidRequest& request) {
    if (!restarted && request.bridgeCmd == BridgeCmdFrameRead) {
      restarted = true;  // the first read is on its way: stop and start again
      stream_->Stop();
      stream_->Start();
    }
  };
  GetRequestQueue().SelectLink(&link);
  stream_->Start();
  const bool got = CollectAndStop(5);
  GetRequestQueue().SelectLink(nullptr);
  ASSERT_TRUE(got);
  // The first read ends its chain (no clear, no next read); one chain runs on.
  std::vector<int> commands = ChainCommands();
  ASSERT_GE(commands.size(), 2u);
  EXPECT_EQ(BridgeCmdFrameRead, commands[0]);
  commands.erase(commands.begin());
  ExpectRepeats(commands, {BridgeCmdFrameRead, BridgeCmdAsyncWrite});
}

TEST_F(TouchStreamTest, StopWhileAReadIsInFlightHandsNothingOn) {
  ConnectWithPanel(sim::ChipFamily::RU9);
  MakeStream();
  ForwardingLink link(*device_);
  bool stopped = false;
  link.before_ = [&](CHidRequest& request) {
    if (!stopped && request.bridgeCmd == BridgeCmdFrameRead) {
      stopped = true;  // the first read is on its way
      stream_->Stop();
    }
  };
  GetRequestQueue().SelectLink(&link);
  stream_->Start();
  WaitForQueuedRequests();
  GetRequestQueue().SelectLink(nullptr);
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(frames_.empty());
  EXPECT_EQ(std::vector<int>{BridgeCmdFrameRead}, ChainCommands());
}

TEST_F(TouchStreamTest, WithoutADeviceTheChainStopsAtOnce) {
  MakeStream();
  stream_->Start();
  EXPECT_TRUE(stream_->IsStopped());
  EXPECT_TRUE(frames_.empty());
}

}  // namespace
