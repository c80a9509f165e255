// Two configuration sends from different threads never interleave: the second
// waits for the first's whole hand-shake.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/device/ConfigTestUtil.h"
#include "platform/sync/Event.h"

namespace {

using sim::ChipFamily;

// A streaming raw page whose stop (inside the send) can hold the first send
// until the test lets it go.
class HoldingStreamControl : public IStreamControl {
 public:
  int CurrentPage() const override { return PAGE_RAW; }
  bool IsBusy() const override { return false; }
  void RestartPage(int) override {}
  void MarkPageStopped(int) override {}
  bool StopPageStream(int) override {
    const int n = ++stops;
    if (n == 1) {
      firstInside.Set();
      release.Wait();
    }
    return true;
  }
  void RestartPageStream(int) override { ++restarts; }

  std::atomic<int> stops{0};
  std::atomic<int> restarts{0};
  platform::Event firstInside{true, false};
  platform::Event release{true, false};
};

class ConfigSendLockTest : public ConfigTest {};

TEST_F(ConfigSendLockTest, ASecondSendWaitsForTheFirstToFinish) {
  ConnectChip(ChipFamily::RU9, WithValidSums(ChipFamily::RU9, PatternBlock(186)));
  HoldingStreamControl stream;
  SetStreamControl(&stream);
  CConfig first;
  CConfig second;
  first.ReadConfig();
  second.ReadConfig();
  first.Block()[20] ^= 0x11;
  second.Block()[30] ^= 0x22;
  Chip().ClearAccessLog();

  std::jthread a([&] { first.SendConfig(); });
  ASSERT_TRUE(stream.firstInside.Wait(10000));
  std::jthread b([&] { second.SendConfig(); });
  // While the first holds the lock the second has not started its
  // hand-shake, and nothing of either has reached the chip.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(1, stream.stops.load());
  EXPECT_TRUE(Personality().WriteTrace().empty());
  stream.release.Set();
  a.join();
  b.join();

  // The hand-shakes one after the other, each with its stream stop before
  // and its restart after: the stream's stop (command and sync flag), the
  // send's sync flag and block, the restart; twice.
  std::vector<std::string> order;
  for (const sim::ChipAccess& w : Personality().WriteTrace()) {
    if (w.address == g_wSyncFlagAddr.load()) {
      order.push_back("sync");
    } else if (w.address == 0x8047) {
      order.push_back("block");
    } else if (w.address == 0x8040) {
      order.push_back(w.bytes.at(0) == 0 ? "stop" : "start");
    }
  }
  const std::vector<std::string> one = {"stop", "sync", "sync", "block", "start"};
  std::vector<std::string> two = one;
  two.insert(two.end(), one.begin(), one.end());
  EXPECT_EQ(two, order);
  EXPECT_EQ(2u, Personality().TakenCount());
  EXPECT_EQ(2, stream.restarts.load());
  SetStreamControl(&stream_);
}

TEST_F(ConfigSendLockTest, ASequenceHoldingTheLockMaySendInsideIt) {
  ConnectChip(ChipFamily::RU9, WithValidSums(ChipFamily::RU9, PatternBlock(186)));
  CConfig cfg;
  cfg.ReadConfig();
  std::lock_guard sequence(ConfigSendMutex());
  cfg.SendConfig();
  cfg.SendConfig();
  EXPECT_EQ(2u, Personality().TakenCount());
}

}  // namespace
