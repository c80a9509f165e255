// A sampling session on the simulated module through the test thread: the
// chip's configuration is what it was once the dialog has closed.
#include <gtest/gtest.h>

#include <QApplication>
#include <atomic>
#include <mutex>

#include "moduletest/run/EngineRunner.h"
#include "moduletest/samples/SampleStore.h"
#include "moduletest/widgets/samples/SampleDlg.h"
#include "moduletest/widgets/samples/SampleLayout.h"
#include "tests/moduletest/ModuleRig.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/QtTestUtil.h"
#include "tests/views_widgets/ViewTestUtil.h"
#include "views/DataFormatStore.h"

namespace {

class LogEvents : public ITestRunEvents {
 public:
  void OnRunLog(const std::string& text, LogLevel) override {
    std::lock_guard lock(mutex_);
    lines.push_back(text);
  }
  void OnRunClearLog() override {}
  void OnRunProgress(TestBar, int) override {}
  void OnRunBarStep(TestBar) override {}
  void OnRunBarColour(TestBar, uint32_t) override {}
  void OnRunItemState(TestItemIndex, TestItemState) override {}
  void OnRunChipInfoChanged() override {}
  void OnRunDone(const TestRunOutcome&) override {}

  std::mutex mutex_;
  std::vector<std::string> lines;
};

class SamplingSessionTest : public ModuleRig {};

TEST_F(SamplingSessionTest, TwoRecordingsAndTheRawViewLeaveTheProductionConfiguration) {
  PlugNamed("good");
  EngineRunner runner(*runClock_);
  TestSettings settings = TestSettings::Defaults();
  settings.mode = UpdateMode::VersionCheck;
  LogEvents events;
  int jobs = 0;
  auto job = [&](bool prepare) {
    auto finished = std::make_shared<std::atomic<bool>>(false);
    ASSERT_TRUE(
        runner.PostSamplingJob(prepare, settings, events, [finished] { *finished = true; }));
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return finished->load(); }));
    ++jobs;
  };
  viewtest::RecordingLog log;
  FakePrompts prompts;
  SampleStore samples(Root() / "test" / "test_sample");
  CSampleDlg dlg(GetDataFormatStore(), &log, prompts, samples, Root() / "test.ini");
  dlg.SetSessionHooks([&] { job(true); }, [&] { job(false); });
  dlg.show();

  for (int recording = 0; recording < 2; ++recording) {
    dlg.OnBnClickedStartSample();
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return dlg.View().FramesReceived() >= 2; }));
    dlg.OnBnClickedStartSample();
    EXPECT_EQ(flashBefore_, Flash()) << recording;
  }
  // The live raw view twice: the second preparation takes no backup of the
  // test configuration.
  dlg.OnCbnSelchangeParamType(CSampleDlg::kTypeRaw);
  const size_t taken = Personality().TakenCount();
  dlg.OnCbnSelchangeParamType(CSampleDlg::kTypeRaw);
  EXPECT_EQ(taken, 5u);  // a block per preparation and per restore so far
  EXPECT_EQ(Personality().TakenCount(), taken);
  dlg.reject();
  EXPECT_EQ(jobs, 7);
  EXPECT_EQ(flashBefore_, Flash());
  EXPECT_TRUE(std::filesystem::exists(Root() / "test" / "test_sample" / "sample_1.sd"));
  EXPECT_GT(std::filesystem::file_size(Root() / "test" / "test_sample" / "sample_1.sd"), 0u);
}

}  // namespace
