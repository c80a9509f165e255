// The test worker: one run at a time, never while the window is busy,
// retests that the counters skip, the sampling jobs on the same queue and
// the bridge programmer handed over between runs.

#include <gtest/gtest.h>

#include <condition_variable>

#include "tests/moduletest/ModuleRig.h"
#include "tests/programming/Ch55xRig.h"
#include "moduletest/engine/TestThread.h"

namespace {

// Holds each run at its start until the test opens the gate.
class GateSink : public RecordingSink {
 public:
  void ClearLog() override {
    std::unique_lock lock(mutex_);
    ++entered_;
    cv_.notify_all();
    cv_.wait(lock, [this] { return open_; });
    lock.unlock();
    RecordingSink::ClearLog();
  }
  void WaitEntered(int n) {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return entered_ >= n; });
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int entered_ = 0;
  bool open_ = false;
};

class TestThreadTest : public ModuleRig {
 protected:
  void SetUp() override {
    ModuleRig::SetUp();
    PlugNamed("good");
    thread_ = std::make_unique<TestThread>(gate_, *runClock_, [this](bool busy) {
      std::lock_guard lock(busyMutex_);
      busyCalls_.push_back(busy);
    });
  }
  void TearDown() override {
    gate_.Open();
    thread_.reset();
    ModuleRig::TearDown();
  }

  static RunSettings Quick() {
    RunSettings s;
    s.maxMinTest = s.adjacentTest = s.openShortTest = s.intTest = false;
    return s;
  }

  GateSink gate_;
  std::unique_ptr<TestThread> thread_;
  std::mutex busyMutex_;
  std::vector<bool> busyCalls_;
};

TEST_F(TestThreadTest, StartRunsOnceAndRefusesASecondStartMeanwhile) {
  ASSERT_TRUE(thread_->Start(Quick()));
  gate_.WaitEntered(1);
  EXPECT_TRUE(thread_->IsRunning());
  EXPECT_FALSE(thread_->Start(Quick()));
  EXPECT_FALSE(thread_->Retest(Quick()));
  EXPECT_FALSE(thread_->Post([](ModuleTestEngine&) {}));
  gate_.Open();
  thread_->WaitIdle();
  EXPECT_EQ(1u, thread_->RunsDone());
  ASSERT_EQ(1u, gate_.DoneRuns().size());
  EXPECT_FALSE(gate_.DoneRuns()[0].second);
  std::lock_guard lock(busyMutex_);
  EXPECT_EQ((std::vector<bool>{true, false}), busyCalls_);
}

TEST_F(TestThreadTest, RetestIsMarkedForTheCounters) {
  gate_.Open();
  ASSERT_TRUE(thread_->Retest(Quick()));
  thread_->WaitIdle();
  ASSERT_EQ(1u, gate_.DoneRuns().size());
  EXPECT_TRUE(gate_.DoneRuns()[0].second);
}

TEST_F(TestThreadTest, StartWhileTheWindowIsBusyIsRefused) {
  gate_.Open();
  stream_.busy = true;  // an update sequence owns the device
  EXPECT_FALSE(thread_->Start(Quick()));
  EXPECT_FALSE(thread_->Retest(Quick()));
  EXPECT_FALSE(thread_->Post([](ModuleTestEngine&) {}));
  stream_.busy = false;
  thread_->WaitIdle();
  EXPECT_EQ(0u, thread_->RunsDone());
}

// The programmer is handed to the engine only while the worker leaves it
// alone; once attached, a ticked image is burnt instead of failing item 5.
TEST_F(TestThreadTest, TheBridgeProgrammerIsAttachedOnlyBetweenRuns) {
  Ch55xRig loader;
  ASSERT_TRUE(thread_->Start(Quick()));
  gate_.WaitEntered(1);
  EXPECT_FALSE(thread_->AttachBridgeProgrammer(loader.isp, {}));
  gate_.Open();
  thread_->WaitIdle();

  RunSettings bridge = Quick();
  bridge.testOnly = false;
  bridge.forceUpdate = true;
  bridge.useBridgeFirmware = true;
  bridge.bridgeFirmwarePath = Root() / "missing_v0101.hex";
  ASSERT_TRUE(thread_->Start(bridge));
  thread_->WaitIdle();
  EXPECT_TRUE(gate_.HasText("[V64er]固件升级尚不可用"));

  ASSERT_TRUE(thread_->AttachBridgeProgrammer(loader.isp, {}));
  ASSERT_TRUE(thread_->Start(bridge));
  thread_->WaitIdle();
  EXPECT_FALSE(gate_.HasText("[V64er]固件升级尚不可用"));
  EXPECT_TRUE(gate_.HasText((Root() / "missing_v0101.hex").string() + "不存在，请检查路径是否正确"));
}

TEST_F(TestThreadTest, SamplingJobsRunOnTheWorker) {
  gate_.Open();
  std::thread::id ran;
  ASSERT_TRUE(thread_->Post([&](ModuleTestEngine&) { ran = std::this_thread::get_id(); }));
  thread_->WaitIdle();
  EXPECT_NE(std::thread::id(), ran);
  EXPECT_NE(std::this_thread::get_id(), ran);
}

}  // namespace
