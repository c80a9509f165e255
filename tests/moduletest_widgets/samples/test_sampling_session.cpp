// A sampling session on the simulated module through the test thread: the
// chip's configuration is what it was once the dialog has closed, and a panel
// whose raw frames the format cannot follow records, shows, computes and
// saves nothing.
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
#include "tests/platform/ScratchDir.h"
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

  // The dialog's lines at LOG_ERROR that refuse for the raw format.
  size_t Refusals() const {
    size_t n = 0;
    for (const auto& [text, level] : log_.Lines()) n += text == kRefusal && level == LOG_ERROR;
    return n;
  }
  static constexpr const char* kRefusal = "原始帧格式与当前面板不符，无法采样";

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

TEST_F(SamplingSessionTest, PanelTooLargeForTheFrameSlotsShowsNoLiveRawView) {
  PlugPanelTooLargeForTheFrameSlots();
  CSampleDlg dlg(GetDataFormatStore(), &log_, prompts_, *samples_, Root() / "test.ini");
  Hook(dlg);
  dlg.show();

  dlg.OnCbnSelchangeParamType(CSampleDlg::kTypeRaw);
  EXPECT_EQ(jobs_, 1);
  EXPECT_EQ(Refusals(), 1u);
  EXPECT_EQ(prompts_.warnings, QStringList{QString::fromUtf8(kRefusal)});
  EXPECT_TRUE(dlg.View().IsStopped());

  dlg.reject();
  EXPECT_EQ(flashBefore_, Flash());
}

// Limits computed from files cut by the previous panel's format would be of
// that panel's size: after a refused preparation neither button acts.
TEST_F(SamplingSessionTest, PanelTooLargeForTheFrameSlotsComputesAndSavesNoLimits) {
  const struct {
    const char* button;
    void (CSampleDlg::*click)();
  } cases[] = {
      {"计算参数", &CSampleDlg::OnBnClickedCalcParams},
      {"保存参数", &CSampleDlg::OnBnClickedSaveParams},
  };
  PlugPanelTooLargeForTheFrameSlots();
  const std::filesystem::path ini = Root() / "test.ini";
  const std::string iniBefore = platform::testing_support::ReadBytes(ini);
  const DataFormat format = GetDataFormatStore().Format(DataKind::Raw);
  const FramePayload frame = viewtest::MakeFrame(
      format, std::vector<int32_t>(static_cast<size_t>(format.rows * format.cols), 1000));
  const std::filesystem::path file = folder_ / "old.sd";
  platform::testing_support::WriteBytes(
      file, std::string(frame.bytes.begin(), frame.bytes.end()));

  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    const size_t refused = Refusals();
    prompts_.warnings.clear();
    CSampleDlg dlg(GetDataFormatStore(), &log_, prompts_, *samples_, ini);
    Hook(dlg);
    int asked = 0;
    dlg.SetRatioAsker([&asked] {
      ++asked;
      return std::optional<AdjustRatios>(AdjustRatios{});
    });
    dlg.SetFileChooser([&file](const QString&, const QString&) {
      return QStringList{QString::fromStdString(file.string())};
    });
    dlg.show();
    // Limits from the file before any preparation, then the refused one.
    dlg.OnBnClickedImportData();
    dlg.OnBnClickedCalcParams();
    ASSERT_EQ(asked, 1);
    const NodeLimitArrays computed = dlg.Limits();
    dlg.OnCbnSelchangeParamType(CSampleDlg::kTypeRaw);
    EXPECT_EQ(Refusals(), refused + 1);

    (dlg.*c.click)();
    EXPECT_EQ(Refusals(), refused + 2);
    EXPECT_EQ(prompts_.warnings, QStringList(2, QString::fromUtf8(kRefusal)));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(dlg.Limits().max, computed.max);
    EXPECT_TRUE(dlg.HasUnsavedLimits());
    EXPECT_EQ(platform::testing_support::ReadBytes(ini), iniBefore);

    // Asked at the close, saving is refused as well.
    prompts_.answers = {true};
    dlg.reject();
    EXPECT_EQ(Refusals(), refused + 3);
    EXPECT_EQ(platform::testing_support::ReadBytes(ini), iniBefore);
  }
  EXPECT_EQ(flashBefore_, Flash());
}

}  // namespace
