#pragma once
// The module test's worker: one thread that runs test runs and the sampling
// tools' jobs one at a time, woken by requests instead of events.
//
// - Start / Retest carry the settings snapshot of the run; they are refused
//   (false) while a run or job is in progress or the main window is busy
//   (an update sequence), and a second request before the worker took the
//   first is merged into it.
// - Device arrivals do not reach the worker: the test page decides whether
//   an arrival starts a run (its auto-test box, nothing busy) and calls Start.
// - Quit ends the worker once the current run is over. The destructor quits
//   and joins: destroy the object only when IsRunning() is false (the UI
//   thread must never wait for a run).
//
// During a run or job the window's busy state is set through setBusy, which
// must take effect before it returns.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "moduletest/engine/ModuleTestEngine.h"

class TestThread {
 public:
  using BusyFn = std::function<void(bool busy)>;
  using Job = std::function<void(ModuleTestEngine& engine)>;

  TestThread(ITestSink& sink, IRunClock& clock, BusyFn setBusy);
  ~TestThread();
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;

  // The bridge programmer and its device hooks for the runs' bridge firmware
  // step. false (nothing changed) while a run or job is in progress or asked
  // for; the programmer outlives this object.
  bool AttachBridgeProgrammer(IMcuProgrammer& programmer, UpdateHooks hooks);

  bool Start(const RunSettings& settings);
  bool Retest(const RunSettings& settings);
  // A sampling preparation or restore, run on the worker; false while busy.
  bool Post(Job job);
  void Quit();

  // A run or job is in progress.
  bool IsRunning() const;
  // Runs done so far (tests wait for them).
  unsigned RunsDone() const;
  // Blocks until the worker has nothing to do (tests).
  void WaitIdle();

 private:
  void Loop();
  bool BusyLocked() const;
  bool PendingLocked() const;

  ITestSink& sink_;
  ModuleTestEngine engine_;
  BusyFn setBusy_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  bool quit_ = false;
  std::optional<RunSettings> start_;
  std::optional<RunSettings> retest_;
  std::deque<Job> jobs_;
  bool running_ = false;
  unsigned runsDone_ = 0;
  std::thread thread_;
};
