// A sampling session on the simulated module through the test thread: the
// chip's configuration is what it was once the dialog has closed, and a panel
// whose raw frames the format cannot follow records nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <algorithm>
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
#include "ui/ControlIds.h"
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

class SamplingSessionTest : public ModuleRig {
 protected:
  // The dialog's hooks as the main window plugs them in: jobs on the test
  // thread, waited for with events flowing.
  void Hook(CSampleDlg& dlg) {
    settings_.mode = UpdateMode::VersionCheck;
    runner_ = std::make_unique<EngineRunner>(*runClock_);
    auto job = [this](bool prepare) {
      auto finished = std::make_shared<std::atomic<bool>>(false);
      auto follows = std::make_shared<std::atomic<bool>>(false);
      EXPECT_TRUE(runner_->PostSamplingJob(prepare, settings_, events_,
                                           [finished, follows](bool rawFollowsPanel) {
                                             *follows = rawFollowsPanel;
                                             *finished = true;
                                           }));
      EXPECT_TRUE(qttest::ProcessEventsUntil([&] { return finished->load(); }));
      ++jobs_;
      return follows->load();
    };
    dlg.SetSessionHooks([job] { return job(true); }, [job] { job(false); });
  }
  void SetUp() override {
    ModuleRig::SetUp();
    folder_ = Root() / "test" / "test_sample";
    samples_ = std::make_unique<SampleStore>(folder_);
  }
  void TearDown() override {
    runner_.reset();
    samples_.reset();
    ModuleRig::TearDown();
  }

  TestSettings settings_ = TestSettings::Defaults();
  LogEvents events_;
  std::unique_ptr<EngineRunner> runner_;
  int jobs_ = 0;
  viewtest::RecordingLog log_;
  FakePrompts prompts_;
  std::filesystem::path folder_;
  std::unique_ptr<SampleStore> samples_;
};

TEST_F(SamplingSessionTest, TwoRecordingsAndTheRawViewLeaveTheProductionConfiguration) {
  PlugNamed("good");
  CSampleDlg dlg(GetDataFormatStore(), &log_, prompts_, *samples_, Root() / "test.ini");
  Hook(dlg);
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
  EXPECT_EQ(jobs_, 7);
  EXPECT_EQ(flashBefore_, Flash());
  EXPECT_TRUE(std::filesystem::exists(folder_ / "sample_1.sd"));
  EXPECT_GT(std::filesystem::file_size(folder_ / "sample_1.sd"), 0u);
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join("\n").toStdString();
}

// The raw format keeps the rows and columns of the panel before: frames of
// that size would become this panel's limits.
TEST_F(SamplingSessionTest, PanelTooLargeForTheFrameSlotsRecordsNothing) {
  PlugPanelTooLargeForTheFrameSlots();
  CSampleDlg dlg(GetDataFormatStore(), &log_, prompts_, *samples_, Root() / "test.ini");
  Hook(dlg);
  dlg.show();

  dlg.OnBnClickedStartSample();
  EXPECT_EQ(jobs_, 1);
  const std::string refusal = "原始帧格式与当前面板不符，无法采样";
  EXPECT_EQ(prompts_.warnings, QStringList{QString::fromStdString(refusal)});
  EXPECT_EQ(log_.Lines(), (std::vector<std::pair<std::string, LogLevel>>{{refusal, LOG_ERROR}}));
  {
    std::lock_guard lock(events_.mutex_);
    EXPECT_TRUE(std::any_of(events_.lines.begin(), events_.lines.end(), [](const std::string& l) {
      return l.find("超过 7040") != std::string::npos;
    })) << testing::PrintToString(events_.lines);
  }
  EXPECT_FALSE(samples_->IsRecording());
  EXPECT_EQ(samples_->NextNumber(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(folder_));
  EXPECT_EQ(dlg.Button(IDC_SAMPLE_START)->text(), QStringLiteral("开始采样"));
  EXPECT_TRUE(dlg.Button(IDC_SAMPLE_IMPORT)->isEnabled());
  EXPECT_TRUE(dlg.View().IsStopped());
  // A second click asks again, and refuses again.
  dlg.OnBnClickedStartSample();
  EXPECT_EQ(jobs_, 2);
  EXPECT_EQ(prompts_.warnings.size(), 2);
  EXPECT_TRUE(std::filesystem::is_empty(folder_));

  dlg.reject();
  EXPECT_EQ(flashBefore_, Flash());
}

}  // namespace
