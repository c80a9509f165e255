// The test worker: one run at a time, arrivals that start a run only with
// the auto-test box ticked and never during a run, retests that the
// counters skip, and the sampling jobs on the same queue.

#include <gtest/gtest.h>

#include <condition_variable>

#include "ModuleRig.h"
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

TEST_F(TestThreadTest, ArrivalStartsARunOnlyWithAutoTestTicked) {
  gate_.Open();
  RunSettings settings = Quick();
  thread_->SetSettings(settings);
  thread_->BridgeArrived();
  thread_->ProgrammingDeviceArrived();
  thread_->WaitIdle();
  EXPECT_EQ(0u, thread_->RunsDone());

  settings.autoTest = true;
  thread_->SetSettings(settings);
  thread_->BridgeArrived();
  thread_->WaitIdle();
  EXPECT_EQ(1u, thread_->RunsDone());
}

TEST_F(TestThreadTest, ArrivalsDuringARunAreDropped) {
  RunSettings settings = Quick();
  settings.autoTest = true;
  thread_->SetSettings(settings);
  ASSERT_TRUE(thread_->Start(settings));
  gate_.WaitEntered(1);
  thread_->BridgeArrived();
  thread_->ProgrammingDeviceArrived();
  gate_.Open();
  thread_->WaitIdle();
  EXPECT_EQ(1u, thread_->RunsDone());
}

TEST_F(TestThreadTest, ArrivalWhileTheWindowIsBusyStartsNothing) {
  gate_.Open();
  RunSettings settings = Quick();
  settings.autoTest = true;
  thread_->SetSettings(settings);
  stream_.busy = true;  // an update sequence owns the device
  thread_->BridgeArrived();
  thread_->WaitIdle();
  EXPECT_FALSE(thread_->Start(settings));
  stream_.busy = false;
  EXPECT_EQ(0u, thread_->RunsDone());
}

TEST_F(TestThreadTest, SamplingJobsRunOnTheWorker) {
  gate_.Open();
  std::thread::id ran;
  ASSERT_TRUE(thread_->Post([&](ModuleTestEngine&) { ran = std::this_thread::get_id(); }));
  thread_->WaitIdle();
  EXPECT_NE(std::thread::id(), ran);
  EXPECT_NE(std::this_thread::get_id(), ran);
}

TEST_F(TestThreadTest, ChipIdentifiedIsOnlyConsumed) {
  gate_.Open();
  thread_->ChipIdentified();
  thread_->WaitIdle();
  EXPECT_EQ(0u, thread_->RunsDone());
  EXPECT_TRUE(gate_.DoneRuns().empty());
}

}  // namespace
