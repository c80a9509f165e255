#pragma once
// The module test page's runner: its settings and Test ID become a run of
// ModuleTestEngine on the TestThread, and the run's reports become the
// page's events. Settings paths are stored texts ("..\test\..."), resolved
// against the base directory here.

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "moduletest/engine/TestThread.h"
#include "moduletest/run/ModuleTestRunner.h"

// The run's view of the page's settings.
RunSettings RunSettingsFrom(const TestSettings& settings);

class EngineRunner : public IModuleTestRunner, private ITestSink {
 public:
  explicit EngineRunner(IRunClock& clock = SteadyRunClock());
  ~EngineRunner() override;

  // The bridge programmer (one of the runs' own, never shared with another
  // caller that loads images into it) and its device hooks for the bridge
  // firmware step; before the first run. false while a run or job is on.
  bool AttachBridgeProgrammer(IMcuProgrammer& programmer, UpdateHooks hooks) {
    return thread_->AttachBridgeProgrammer(programmer, std::move(hooks));
  }

  bool StartRun(const TestRunRequest& request, ITestRunEvents& events) override;
  bool IsRunning() const { return thread_->IsRunning(); }
  // The sampling dialog's chip preparation (prepare: the test configuration
  // in, the backup taken only while it is not active yet) or restore of the
  // production configuration, as a job on the test thread. Its lines go to
  // `events`; `done` is called on the test thread when it ended, telling
  // whether the raw frame format follows the panel of the last preparation
  // (ModuleTestEngine::RawFollowsPanel). false (and no call) while a run or
  // another job is on.
  using SamplingDone = std::function<void(bool rawFollowsPanel)>;
  bool PostSamplingJob(bool prepare, const TestSettings& settings, ITestRunEvents& events,
                       SamplingDone done);

 private:
  // ITestSink, on the test thread.
  void ClearLog() override;
  void Log(const std::string& text, LogLevel level) override;
  void BarPosition(TestBar bar, int position) override;
  void BarColours(TestBar bar, BarColour background, BarColour colour) override;
  void BarStep(TestBar bar) override;
  void ItemState(TestItemIndex item, TestItemState state) override;
  void Verdict(bool) override {}
  void RefreshChipInfo() override;
  void Done(const RunResult& result, bool retest) override;

  // Takes the events for one run or job; false while another one has them.
  bool Claim(ITestRunEvents& events);
  ITestRunEvents* Events();

  std::mutex mutex_;
  ITestRunEvents* events_ = nullptr;
  // The last run's outcome went out; its thread may still be leaving the run.
  bool finishing_ = false;
  std::unique_ptr<TestThread> thread_;
};
