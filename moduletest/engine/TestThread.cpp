#include "moduletest/engine/TestThread.h"

#include "device/StreamControl.h"

TestThread::TestThread(ITestSink& sink, IRunClock& clock, BusyFn setBusy)
    : sink_(sink), engine_(sink, clock), setBusy_(std::move(setBusy)) {
  thread_ = std::thread([this] { Loop(); });
}

TestThread::~TestThread() {
  Quit();
  if (thread_.joinable()) thread_.join();
}

bool TestThread::BusyLocked() const { return running_ || StreamControl().IsBusy(); }

bool TestThread::Start(const RunSettings& settings) {
  std::lock_guard lock(mutex_);
  if (BusyLocked() || quit_) return false;
  start_ = settings;
  wake_.notify_one();
  return true;
}

bool TestThread::Retest(const RunSettings& settings) {
  std::lock_guard lock(mutex_);
  if (BusyLocked() || quit_) return false;
  retest_ = settings;
  wake_.notify_one();
  return true;
}

void TestThread::SetSettings(const RunSettings& settings) {
  std::lock_guard lock(mutex_);
  latest_ = settings;
}

void TestThread::BridgeArrived() {
  std::lock_guard lock(mutex_);
  if (running_) return;
  bridgeArrived_ = true;
  wake_.notify_one();
}

void TestThread::ProgrammingDeviceArrived() {
  std::lock_guard lock(mutex_);
  if (running_) return;
  programmingArrived_ = true;
  wake_.notify_one();
}

void TestThread::ChipIdentified() {
  std::lock_guard lock(mutex_);
  chipIdentified_ = true;
  wake_.notify_one();
}

bool TestThread::Post(Job job) {
  std::lock_guard lock(mutex_);
  if (BusyLocked() || quit_) return false;
  jobs_.push_back(std::move(job));
  wake_.notify_one();
  return true;
}

void TestThread::Quit() {
  std::lock_guard lock(mutex_);
  quit_ = true;
  wake_.notify_one();
}

bool TestThread::IsRunning() const {
  std::lock_guard lock(mutex_);
  return running_;
}

unsigned TestThread::RunsDone() const {
  std::lock_guard lock(mutex_);
  return runsDone_;
}

void TestThread::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] {
    return quit_ || (!running_ && !start_ && !retest_ && jobs_.empty() && !bridgeArrived_ &&
                     !programmingArrived_);
  });
}

void TestThread::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] {
      return quit_ || bridgeArrived_ || programmingArrived_ || start_ || retest_ ||
             chipIdentified_ || !jobs_.empty();
    });
    if (quit_) break;

    // Lowest first, as the page's events were ordered.
    std::optional<RunSettings> run;
    bool retest = false;
    Job job;
    if (bridgeArrived_ || programmingArrived_) {
      bridgeArrived_ = programmingArrived_ = false;
      if (latest_.autoTest && !StreamControl().IsBusy()) run = latest_;
    } else if (start_) {
      run = std::move(start_);
      start_.reset();
    } else if (retest_) {
      run = std::move(retest_);
      retest_.reset();
      retest = true;
    } else if (chipIdentified_) {
      chipIdentified_ = false;
    } else {
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    if (!run && !job) {
      idle_.notify_all();
      continue;
    }

    running_ = true;
    lock.unlock();
    if (setBusy_) setBusy_(true);
    if (run) {
      const RunResult result = engine_.RunModuleTest(*run);
      sink_.Done(result, retest);
    } else {
      job(engine_);
    }
    lock.lock();
    // Arrivals during the run are dropped (a run's own reconnects make them).
    bridgeArrived_ = programmingArrived_ = false;
    lock.unlock();
    if (setBusy_) setBusy_(false);
    lock.lock();
    running_ = false;
    if (run) ++runsDone_;
    idle_.notify_all();
  }
  running_ = false;
  idle_.notify_all();
}
