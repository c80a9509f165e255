// The page's runner seam over the engine: settings in, events and the
// outcome (items, verdict, configuration block, measurements) out.

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>

#include "tests/moduletest/ModuleRig.h"
#include "moduletest/run/EngineRunner.h"

namespace {

class RecordingEvents : public ITestRunEvents {
 public:
  void OnRunLog(const std::string& text, LogLevel) override {
    std::lock_guard lock(mutex_);
    lines.push_back(text);
  }
  void OnRunClearLog() override {
    std::lock_guard lock(mutex_);
    ++clears;
  }
  void OnRunProgress(TestBar, int) override {}
  void OnRunBarStep(TestBar bar) override {
    std::lock_guard lock(mutex_);
    ++steps[bar];
  }
  void OnRunBarColour(TestBar bar, uint32_t rgb) override {
    std::lock_guard lock(mutex_);
    colours.emplace_back(bar, rgb);
  }
  void OnRunItemState(TestItemIndex, TestItemState) override {}
  void OnRunChipInfoChanged() override {
    std::lock_guard lock(mutex_);
    ++chipInfoRefreshes;
  }
  void OnRunDone(const TestRunOutcome& o) override {
    std::lock_guard lock(mutex_);
    outcome = o;
    done = true;
    cv_.notify_all();
  }
  void WaitDone() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return done; });
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  bool done = false;
  int clears = 0;
  int chipInfoRefreshes = 0;
  std::map<int, int> steps;
  std::vector<std::string> lines;
  std::vector<std::pair<int, uint32_t>> colours;
  TestRunOutcome outcome;
};

class EngineRunnerTest : public ModuleRig {};

TEST_F(EngineRunnerTest, PageSettingsRunTheModuleAndTheOutcomeComesBack) {
  PlugNamed("dead-node");
  EngineRunner runner(*runClock_);
  TestRunRequest request;
  request.settings = TestSettings::Defaults();
  request.settings.tests[kFlagSensorId] = false;
  RecordingEvents events;
  ASSERT_TRUE(runner.StartRun(request, events));
  events.WaitDone();
  EXPECT_FALSE(events.outcome.passed);
  EXPECT_EQ(TEST_FAIL, events.outcome.items[kItemMaxMin]);
  EXPECT_EQ(10, events.outcome.measurements.rows);
  EXPECT_EQ(14, events.outcome.measurements.cols);
  ASSERT_EQ(140u, events.outcome.measurements.nodeMin.size());
  EXPECT_EQ(0, events.outcome.measurements.nodeMin[25]);
  EXPECT_EQ(140u, events.outcome.measurements.rawFrames[15].size());
  EXPECT_EQ(186u, events.outcome.chipConfig.size());  // the backup's block
  // Red is 0xRRGGBB for the page.
  EXPECT_NE(std::find(events.colours.begin(), events.colours.end(),
                      std::pair<int, uint32_t>(kBarMaxMin, 0xFF0000)),
            events.colours.end());
  EXPECT_NE(std::find(events.lines.begin(), events.lines.end(), "NG"), events.lines.end());
  // The log is emptied once, each of the 16 frames steps the data bars, and
  // the chip information is read again after the verdict.
  EXPECT_EQ(1, events.clears);
  EXPECT_EQ(16, events.steps[kBarMaxMin]);
  EXPECT_EQ(1, events.chipInfoRefreshes);
}

// A sampling session (preparation, then restore) empties the log once and
// leaves the runner free for the next module's run.
TEST_F(EngineRunnerTest, ARunFollowsASamplingSession) {
  PlugNamed("good");
  EngineRunner runner(*runClock_);
  TestSettings settings = TestSettings::Defaults();
  settings.tests[kFlagSensorId] = false;
  RecordingEvents jobEvents;
  for (bool prepare : {true, false}) {
    std::mutex m;
    std::condition_variable cv;
    bool finished = false;
    ASSERT_TRUE(runner.PostSamplingJob(prepare, settings, jobEvents, [&](bool) {
      std::lock_guard lock(m);
      finished = true;
      cv.notify_all();
    }));
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return finished; });
  }
  // The preparation is the run's own first steps, log clearing included; the
  // restore at the dialog's close keeps the session's lines.
  EXPECT_EQ(1, jobEvents.clears);
  TestRunRequest request;
  request.settings = settings;
  RecordingEvents events;
  ASSERT_TRUE(runner.StartRun(request, events));
  events.WaitDone();
  EXPECT_TRUE(events.outcome.passed);
}

TEST_F(EngineRunnerTest, SettingsMapOntoTheRun) {
  TestSettings t = TestSettings::Defaults();
  t.mode = UpdateMode::ForceUpdate;
  t.fileEnabled[kTestConfigFile] = true;
  t.filePaths[kTestConfigFile] = "..\\test\\test_file\\Test.cfg";
  t.numbers[kFieldCh2Ch] = "60";
  t.sensorId = "7";
  const RunSettings s = RunSettingsFrom(t);
  EXPECT_FALSE(s.testOnly);
  EXPECT_TRUE(s.forceUpdate);
  EXPECT_TRUE(s.useTestConfig);
  EXPECT_EQ(Root() / "test/test_file/Test.cfg", s.testConfigPath);
  EXPECT_EQ("60", s.ch2ChThreshold);
  EXPECT_EQ("7", s.sensorIdText);
}

}  // namespace
