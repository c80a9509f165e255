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

bool TestThread::PendingLocked() const { return start_ || retest_ || !jobs_.empty(); }

bool TestThread::AttachBridgeProgrammer(IMcuProgrammer& programmer, UpdateHooks hooks) {
  // Under the lock and only while the worker leaves the engine alone: the
  // next request it takes under this lock sees the programmer.
  std::lock_guard lock(mutex_);
  if (running_ || PendingLocked()) return false;
  engine_.AttachBridgeProgrammer(programmer, std::move(hooks));
  return true;
}

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
  idle_.wait(lock, [this] { return quit_ || (!running_ && !PendingLocked()); });
}

void TestThread::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || PendingLocked(); });
    if (quit_) break;

    std::optional<RunSettings> run;
    bool retest = false;
    Job job;
    if (start_) {
      run = std::move(start_);
      start_.reset();
    } else if (retest_) {
      run = std::move(retest_);
      retest_.reset();
      retest = true;
    } else {
      job = std::move(jobs_.front());
      jobs_.pop_front();
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
    if (setBusy_) setBusy_(false);
    lock.lock();
    running_ = false;
    if (run) ++runsDone_;
    idle_.notify_all();
  }
  running_ = false;
  idle_.notify_all();
}
