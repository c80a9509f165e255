// The page's runner seam over the engine: settings in, events and the
// outcome (items, verdict, configuration block, measurements) out.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <map>

#include "device/StreamControl.h"
#include "moduletest/run/EngineRunner.h"
#include "tests/moduletest/ModuleRig.h"

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

class EngineRunnerTest : public ModuleRig {
 protected:
  // One run of the page's default settings without the SENSOR_ID test
  // (adjusted by `adjust`), to its end.
  void RunToEnd(RecordingEvents& events,
                const std::function<void(TestSettings&)>& adjust = nullptr) {
    EngineRunner runner(*runClock_);
    TestRunRequest request;
    request.settings = TestSettings::Defaults();
    request.settings.tests[kFlagSensorId] = false;
    if (adjust) adjust(request.settings);
    ASSERT_TRUE(runner.StartRun(request, events));
    events.WaitDone();
  }
};

TEST_F(EngineRunnerTest, PageSettingsRunTheModuleAndTheOutcomeComesBack) {
  PlugNamed("dead-node");
  RecordingEvents events;
  RunToEnd(events);
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

// A run that captured nothing writes every grid of its report in the
// panel's shape, all zeros, never a label over an empty line.
TEST_F(EngineRunnerTest, RunsWithoutACaptureReportThePanelsGridsOfZeros) {
  struct Case {
    const char* what;
    std::function<void()> plug;
    bool dataItems;
    int32_t rows;
    int32_t cols;
  };
  const Case cases[] = {
      {"frames time out", [this] { PlugNamed("starvation"); }, true, 10, 14},
      {"both data items unticked", [this] { PlugNamed("good"); }, false, 10, 14},
      {"a raw format the panel cannot take", [this] { PlugPanelTooLargeForTheFrameSlots(); }, true,
       72, 44},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.plug();
    RecordingEvents events;
    RunToEnd(events, [&](TestSettings& s) {
      s.tests[kFlagUniformity] = c.dataItems;
      s.tests[kFlagAdjacentDeviation] = c.dataItems;
    });
    TestReportData data;
    data.measurements = events.outcome.measurements;
    const std::string report = BuildTestReport(data);
    std::string zeros;
    for (int32_t i = 0; i < c.rows; ++i) {
      for (int32_t j = 0; j < c.cols; ++j) zeros += "0,";
      zeros += "\n";
    }
    std::vector<std::string> labels = {
        "MaxArray:", "MinArray:", "Jitter:", "AdjacentDeviationTest:"};
    for (int f = 0; f < 16; ++f) labels.push_back("Rawdata[" + std::to_string(f) + "]:");
    for (const std::string& label : labels) {
      EXPECT_NE(report.find(label + "\n" + zeros + "\n"), std::string::npos) << label;
    }
    TearDown();
    SetUp();
  }
}

// The page shown before the run (the raw view) decodes its first frame into
// the shared arrays as soon as it is restarted: the report's copy of the
// capture must have been taken before.
class RawPageStreamingAtOnce : public IStreamControl {
 public:
  static constexpr int32_t kLive = 77777;
  int CurrentPage() const override { return PAGE_RAW; }
  bool IsBusy() const override { return false; }
  void RestartPage(int) override {
    std::lock_guard lock(NodeArraysMutex());
    NodeArrays& nodes = GetNodeArrays();
    for (auto* array : {&nodes.NodeMax, &nodes.NodeMin, &nodes.NodeJitter, &nodes.NodeAdjDev}) {
      array->fill(kLive);
    }
    for (size_t f = 0; f < RawFrameStack::kFrames; ++f) GetRawFrameStack().At(f).fill(kLive);
  }
  void MarkPageStopped(int) override {}
  bool StopPageStream(int) override { return false; }
  void RestartPageStream(int) override {}
};

TEST_F(EngineRunnerTest, TheReportKeepsTheCaptureNotTheRestartedPagesFrame) {
  PlugNamed("good");
  RawPageStreamingAtOnce page;
  SetStreamControl(&page);
  RecordingEvents events;
  RunToEnd(events);
  SetStreamControl(nullptr);
  {
    std::lock_guard lock(NodeArraysMutex());
    ASSERT_EQ(RawPageStreamingAtOnce::kLive, GetNodeArrays().NodeMax[0]) << "the page restarted";
  }
  const TestMeasurements& m = events.outcome.measurements;
  ASSERT_EQ(140u, m.nodeMax.size());
  std::vector<const std::vector<int32_t>*> arrays = {&m.nodeMax, &m.nodeMin, &m.nodeJitter,
                                                     &m.nodeAdjDev};
  for (const auto& frame : m.rawFrames) arrays.push_back(&frame);
  for (const std::vector<int32_t>* values : arrays) {
    EXPECT_EQ(std::count(values->begin(), values->end(), RawPageStreamingAtOnce::kLive), 0);
  }
  // The capture's own values.
  EXPECT_GT(m.nodeMin[0], 1000);
  EXPECT_LT(m.nodeMax[0], 3500);
}

}  // namespace
