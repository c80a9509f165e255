#include "moduletest/run/EngineRunner.h"

#include <utility>

#include "platform/files/AppPaths.h"

namespace {

std::filesystem::path Resolved(const std::string& text) {
  return text.empty() ? std::filesystem::path() : platform::AppPaths::Resolve(text);
}

// 0x00BBGGRR to the page's 0x00RRGGBB.
uint32_t Rgb(BarColour colour) {
  const uint32_t c = colour;
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

}  // namespace

RunSettings RunSettingsFrom(const TestSettings& t) {
  RunSettings s;
  s.testOnly = t.mode == UpdateMode::TestOnly;
  s.versionCheck = t.mode == UpdateMode::VersionCheck;
  s.forceUpdate = t.mode == UpdateMode::ForceUpdate;
  s.maxMinTest = t.tests[kFlagUniformity];
  s.adjacentTest = t.tests[kFlagAdjacentDeviation];
  s.openShortTest = t.tests[kFlagOpenShort];
  s.intTest = t.tests[kFlagInt];
  s.sensorIdTest = t.tests[kFlagSensorId];
  s.sensorIdText = t.sensorId;
  s.ch2ChThreshold = t.numbers[kFieldCh2Ch];
  s.ch2GndThreshold = t.numbers[kFieldCh2Gnd2Avdd];
  s.waitFrames = t.numbers[kFieldWaitForStable];
  s.useBridgeFirmware = t.fileEnabled[kBridgeFirmwareFile];
  s.bridgeFirmwarePath = Resolved(t.filePaths[kBridgeFirmwareFile]);
  s.useTouchFirmware = t.fileEnabled[kTouchFirmwareFile];
  s.touchFirmwarePath = Resolved(t.filePaths[kTouchFirmwareFile]);
  s.useProductionConfig = t.fileEnabled[kProductionConfigFile];
  s.productionConfigPath = Resolved(t.filePaths[kProductionConfigFile]);
  s.useTestConfig = t.fileEnabled[kTestConfigFile];
  s.testConfigPath = Resolved(t.filePaths[kTestConfigFile]);
  return s;
}

EngineRunner::EngineRunner(IRunClock& clock)
    : thread_(std::make_unique<TestThread>(static_cast<ITestSink&>(*this), clock, nullptr)) {}

EngineRunner::~EngineRunner() { thread_.reset(); }

bool EngineRunner::PostSamplingJob(bool prepare, const TestSettings& settings,
                                   ITestRunEvents& events, SamplingDone done) {
  if (!Claim(events)) return false;
  const bool posted = thread_->Post([this, prepare, run = RunSettingsFrom(settings),
                                     done = std::move(done)](ModuleTestEngine& engine) {
    if (prepare) {
      engine.UpdateFirmwareWithBackup(run);
    } else {
      engine.CheckConfigMatch(run);
    }
    // The job's events end here: the next run or job may take their place.
    {
      std::lock_guard lock(mutex_);
      events_ = nullptr;
      finishing_ = true;
    }
    if (done) done(engine.RawFollowsPanel());
  });
  if (!posted) {
    std::lock_guard lock(mutex_);
    events_ = nullptr;
  }
  return posted;
}

bool EngineRunner::Claim(ITestRunEvents& events) {
  bool finishing = false;
  {
    std::lock_guard lock(mutex_);
    if (events_ != nullptr) return false;
    events_ = &events;
    std::swap(finishing, finishing_);
  }
  // The next run or job may follow the last outcome (or the end of a
  // sampling job) at once, while the thread is still leaving it: wait out
  // that short tail. Never a run: requests reach this thread only through
  // this runner, from one thread, and none is pending now.
  if (finishing) thread_->WaitIdle();
  return true;
}

ITestRunEvents* EngineRunner::Events() {
  std::lock_guard lock(mutex_);
  return events_;
}

bool EngineRunner::StartRun(const TestRunRequest& request, ITestRunEvents& events) {
  if (!Claim(events)) return false;
  const RunSettings settings = RunSettingsFrom(request.settings);
  const bool started = request.retest ? thread_->Retest(settings) : thread_->Start(settings);
  if (!started) {
    std::lock_guard lock(mutex_);
    events_ = nullptr;
  }
  return started;
}

void EngineRunner::ClearLog() {
  if (ITestRunEvents* e = Events()) e->OnRunClearLog();
}

void EngineRunner::Log(const std::string& text, LogLevel level) {
  if (ITestRunEvents* e = Events()) e->OnRunLog(text, level);
}

void EngineRunner::BarPosition(TestBar bar, int position) {
  if (ITestRunEvents* e = Events()) e->OnRunProgress(bar, position);
}

void EngineRunner::BarColours(TestBar bar, BarColour, BarColour colour) {
  if (ITestRunEvents* e = Events()) e->OnRunBarColour(bar, Rgb(colour));
}

void EngineRunner::BarStep(TestBar bar) {
  if (ITestRunEvents* e = Events()) e->OnRunBarStep(bar);
}

void EngineRunner::ItemState(TestItemIndex item, TestItemState state) {
  if (ITestRunEvents* e = Events()) e->OnRunItemState(item, state);
}

void EngineRunner::RefreshChipInfo() {
  if (ITestRunEvents* e = Events()) e->OnRunChipInfoChanged();
}

void EngineRunner::Done(const RunResult& result, bool) {
  TestRunOutcome outcome;
  outcome.items = result.items;
  outcome.passed = result.passed;
  outcome.chipConfig = result.chipConfig;
  outcome.measurements = result.measurements;
  ITestRunEvents* events = nullptr;
  {
    std::lock_guard lock(mutex_);
    events = events_;
    events_ = nullptr;
    finishing_ = true;
  }
  if (events != nullptr) events->OnRunDone(outcome);
}
