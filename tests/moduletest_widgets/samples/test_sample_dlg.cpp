// The sampling dialog: a recording from the simulated chip, importing and
// browsing sample files, the limits computed, shown, saved and asked for at
// the close; the adjustment dialog's ranges.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "device/ChipGlobals.h"
#include "moduletest/samples/SampleStore.h"
#include "moduletest/widgets/samples/SampleDlg.h"
#include "moduletest/widgets/samples/SampleLayout.h"
#include "moduletest/widgets/samples/TestThrdAdjustDlg.h"
#include "platform/files/IniFile.h"
#include "tests/device/SimDevice.h"
#include "tests/platform/FileSizeLimit.h"
#include "tests/platform/ScratchDir.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/QtTestUtil.h"
#include "tests/views_widgets/ViewTestUtil.h"
#include "ui/ControlIds.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"

namespace {

using platform::testing_support::FileSizeLimit;
using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
using viewtest::MakeFrame;
using viewtest::RecordingLog;

class SampleDlgTest : public SimDeviceTest {
 protected:
  void SetUp() override {
    SimDeviceTest::SetUp();
    SetRawGeometry(3, 2);
    dlg_ = std::make_unique<CSampleDlg>(formats_, &log_, prompts_, samples_, ini_);
    dlg_->SetSessionHooks(
        [this] {
          ++prepares_;
          return true;
        },
        [this] { ++restores_; });
    dlg_->show();
  }
  void TearDown() override {
    dlg_.reset();
    GetRequestQueue().SelectLink(nullptr);
    SimDeviceTest::TearDown();
  }

  std::filesystem::path WriteSample(const std::string& name,
                                    const std::vector<std::vector<int32_t>>& frames) {
    std::string bytes;
    for (const auto& f : frames) {
      const FramePayload p = MakeFrame(formats_.Format(DataKind::Raw), f);
      bytes.append(p.bytes.begin(), p.bytes.end());
    }
    WriteBytes(dir_ / "test_sample" / name, bytes);
    return dir_ / "test_sample" / name;
  }
  void Import(const std::vector<std::filesystem::path>& files) {
    dlg_->SetFileChooser([files](const QString&, const QString& filter) {
      EXPECT_EQ(filter, QStringLiteral("Sample Files(*.sd) (*.sd);;All Files(*.*) (*)"));
      QStringList out;
      for (const auto& f : files) out << QString::fromStdString(f.string());
      return out;
    });
    dlg_->OnBnClickedImportData();
  }
  void SetRawGeometry(int32_t rows, int32_t cols) {
    DataFormatSet set = formats_.Snapshot().set;
    set.Of(DataKind::Raw).rows = rows;
    set.Of(DataKind::Raw).cols = cols;
    ASSERT_TRUE(formats_.Replace(set));
  }
  bool Enabled(int id) { return dlg_->Button(id)->isEnabled(); }
  std::string Title() { return dlg_->windowTitle().toStdString(); }

  ScratchDir dir_;
  std::filesystem::path ini_ = dir_ / "test.ini";
  DataFormatStore formats_;
  RecordingLog log_;
  FakePrompts prompts_;
  SampleStore samples_{dir_ / "test_sample"};
  std::unique_ptr<CSampleDlg> dlg_;
  int prepares_ = 0;
  int restores_ = 0;
};

TEST_F(SampleDlgTest, ARecordingHoldsTheFramesReceivedAndOpensForBrowsing) {
  Connect();
  Bridge().Chip().SetFrameSource(formats_.Format(DataKind::Raw).address, 12,
                                 [](size_t offset, uint8_t* out, size_t n) {
                                   for (size_t i = 0; i < n; ++i) {
                                     out[i] = static_cast<uint8_t>(offset + i + 1);
                                   }
                                 });
  dlg_->OnBnClickedStartSample();
  EXPECT_EQ(dlg_->Button(IDC_SAMPLE_START)->text(), QStringLiteral("停止采样"));
  EXPECT_EQ(prepares_, 1);
  for (int id : {IDC_SAMPLE_IMPORT, IDC_SAMPLE_CALC, IDC_SAMPLE_DELETE, IDC_SAMPLE_NEXT_FRAME}) {
    EXPECT_FALSE(Enabled(id)) << id;
  }
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return dlg_->View().FramesReceived() >= 4; }));
  dlg_->OnTimer();
  EXPECT_EQ(Title().rfind("正在采样:" + (dir_ / "test_sample" / "sample_0.sd").string() + ",", 0),
            0u)
      << Title();
  dlg_->OnBnClickedStartSample();
  EXPECT_EQ(restores_, 1);
  const int frames = dlg_->View().FramesReceived();
  const auto path = dir_ / "test_sample" / "sample_0.sd";
  EXPECT_EQ(ReadBytes(path).size(), static_cast<size_t>(frames) * 12);
  EXPECT_EQ(Title(), "采样已停止:" + path.string() + "," + std::to_string(frames) + "帧");
  EXPECT_EQ(dlg_->Button(IDC_SAMPLE_START)->text(), QStringLiteral("开始采样"));
  EXPECT_TRUE(Enabled(IDC_SAMPLE_DELETE));
  EXPECT_TRUE(Enabled(IDC_SAMPLE_CALC));
  EXPECT_TRUE(Enabled(IDC_SAMPLE_NEXT_FRAME));
  EXPECT_FALSE(Enabled(IDC_SAMPLE_PREV_FRAME));
  EXPECT_EQ(samples_.FrameCounter(), 1);  // the first frame is shown

  // A second recording gets the next number; the close restores once more.
  dlg_->OnBnClickedStartSample();
  dlg_->OnBnClickedStartSample();
  EXPECT_TRUE(std::filesystem::exists(dir_ / "test_sample" / "sample_1.sd"));
  dlg_->reject();
  EXPECT_EQ(prepares_, 2);
  EXPECT_EQ(restores_, 3);
  EXPECT_TRUE(prompts_.questions.isEmpty());
}

TEST_F(SampleDlgTest, AFailedReadStopsTheRecordingsCount) {
  Connect();
  Bridge().Chip().SetFrameSource(formats_.Format(DataKind::Raw).address, 12,
                                 [](size_t, uint8_t* out, size_t n) { std::fill_n(out, n, 7); });
  dlg_->OnBnClickedStartSample();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return dlg_->View().FramesReceived() >= 2; }));
  Bridge().SetSilent(true);
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return dlg_->View().IsStopped(); }));
  WaitForQueuedRequests();
  const int frames = dlg_->View().FramesReceived();
  dlg_->OnTimer();
  const auto path = dir_ / "test_sample" / "sample_0.sd";
  EXPECT_EQ(Title(), "采样已中断:" + path.string() + "," + std::to_string(frames) + "帧");
  EXPECT_EQ(dlg_->View().FramesReceived(), frames);
  dlg_->OnBnClickedStartSample();
  EXPECT_EQ(ReadBytes(path).size(), static_cast<size_t>(frames) * 12);
  EXPECT_EQ(log_.Lines().size(), 1u);
}

TEST_F(SampleDlgTest, AFullDiskEndsTheStoringWithOneLineAndTheCaptionSaysSo) {
  Connect();
  Bridge().Chip().SetFrameSource(formats_.Format(DataKind::Raw).address, 12,
                                 [](size_t, uint8_t* out, size_t n) { std::fill_n(out, n, 7); });
  bool limited = false, broken = false;
  {
    // Room for two frames and half of the third.
    FileSizeLimit full(30);
    limited = full.IsSet();
    dlg_->OnBnClickedStartSample();
    broken = qttest::ProcessEventsUntil([&] { return samples_.RecordingBroken(); });
  }
  ASSERT_TRUE(limited);
  ASSERT_TRUE(broken);
  const auto path = dir_ / "test_sample" / "sample_0.sd";
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return dlg_->View().FramesReceived() >= 4; }));
  dlg_->OnTimer();
  EXPECT_EQ(Title().rfind("采样已中断:" + path.string() + ",", 0), 0u) << Title();
  dlg_->OnBnClickedStartSample();
  EXPECT_EQ(ReadBytes(path), std::string(24, '\x07'));
  // The stop counts the frames the file holds, not the ones that came.
  EXPECT_EQ(Title(), "采样已中断:" + path.string() + ",2帧");
  ASSERT_EQ(log_.Lines().size(), 1u);
  EXPECT_EQ(log_.Lines()[0].first.rfind("样本文件写入失败：" + path.string() + "：", 0), 0u);
  EXPECT_EQ(log_.Lines()[0].second, LOG_ERROR);
}

TEST_F(SampleDlgTest, ARecordingWhoseFileCouldNotBeCreatedStopsWithNoFrames) {
  Connect();
  Bridge().Chip().SetFrameSource(formats_.Format(DataKind::Raw).address, 12,
                                 [](size_t, uint8_t* out, size_t n) { std::fill_n(out, n, 7); });
  // A file where the folder should be.
  std::filesystem::remove_all(dir_ / "test_sample");
  WriteBytes(dir_ / "test_sample", "x");
  const auto path = dir_ / "test_sample" / "sample_0.sd";
  dlg_->OnBnClickedStartSample();
  EXPECT_EQ(prompts_.warnings,
            QStringList{QStringLiteral("创建文件") + QString::fromStdString(path.string()) +
                        QStringLiteral("失败")});
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return dlg_->View().FramesReceived() >= 2; }));
  dlg_->OnBnClickedStartSample();
  EXPECT_EQ(Title(), "采样已中断:" + path.string() + ",0帧");
  EXPECT_FALSE(Enabled(IDC_SAMPLE_CALC));
}

TEST_F(SampleDlgTest, ImportBrowseAndDeleteFollowTheList) {
  const std::vector<int32_t> one(6, 1), two(6, 2), three(6, 3);
  const auto a = WriteSample("a.sd", {one, two});
  const auto b = WriteSample("b.sd", {three});
  const auto c = WriteSample("c.sd", {two, one});
  Import({a, b, c});
  EXPECT_EQ(samples_.CurrentIndex(), 0);
  EXPECT_EQ(Title(), "Sample Data:" + a.string() + ",第1帧");
  EXPECT_FALSE(Enabled(IDC_SAMPLE_PREV_SAMPLE));
  EXPECT_TRUE(Enabled(IDC_SAMPLE_NEXT_SAMPLE));
  EXPECT_TRUE(Enabled(IDC_SAMPLE_NEXT_FRAME));
  EXPECT_FALSE(Enabled(IDC_SAMPLE_PREV_FRAME));
  dlg_->OnBnClickedNextFrame();
  EXPECT_EQ(Title(), "Sample Data:" + a.string() + ",第2帧");
  EXPECT_FALSE(Enabled(IDC_SAMPLE_NEXT_FRAME));
  EXPECT_TRUE(Enabled(IDC_SAMPLE_PREV_FRAME));
  dlg_->OnBnClickedPrevFrame();
  EXPECT_EQ(Title(), "Sample Data:" + a.string() + ",第1帧");

  dlg_->OnBnClickedNextSample();
  dlg_->OnBnClickedNextSample();
  EXPECT_EQ(samples_.CurrentIndex(), 2);
  EXPECT_FALSE(Enabled(IDC_SAMPLE_NEXT_SAMPLE));
  EXPECT_TRUE(Enabled(IDC_SAMPLE_PREV_SAMPLE));
  // Deleting the last entry shows the one before it.
  dlg_->OnBnClickedDeleteSample();
  EXPECT_FALSE(std::filesystem::exists(c));
  EXPECT_EQ(Title(), "Sample Data:" + b.string() + ",第1帧");
  dlg_->OnBnClickedPrevSample();
  EXPECT_EQ(Title(), "Sample Data:" + a.string() + ",第1帧");
  dlg_->OnBnClickedDeleteSample();  // the first: the next one follows
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_EQ(Title(), "Sample Data:" + b.string() + ",第1帧");
  dlg_->OnBnClickedDeleteSample();  // the only one
  EXPECT_EQ(Title(), "文件已删除:" + b.string());
  EXPECT_EQ(samples_.CurrentIndex(), -1);
  EXPECT_FALSE(Enabled(IDC_SAMPLE_DELETE));
  EXPECT_FALSE(Enabled(IDC_SAMPLE_NEXT_FRAME));

  // An import after browsing starts from the first entry again.
  const auto d = WriteSample("d.sd", {one});
  const auto e = WriteSample("e.sd", {two});
  Import({d, e});
  EXPECT_EQ(samples_.CurrentIndex(), 0);
  EXPECT_EQ(Title(), "Sample Data:" + d.string() + ",第1帧");
}

TEST_F(SampleDlgTest, LimitsAreComputedShownSavedAndAskedForAtTheClose) {
  // 3 x 2: averages 1000 everywhere but node 2 (800).
  const std::vector<int32_t> f = {1000, 1000, 800, 1000, 1000, 1000};
  Import({WriteSample("a.sd", {f, f})});
  dlg_->SetRatioAsker([] { return std::nullopt; });
  dlg_->OnBnClickedCalcParams();
  EXPECT_FALSE(Enabled(IDC_SAMPLE_SAVE));

  dlg_->SetRatioAsker([] { return std::optional<AdjustRatios>(AdjustRatios{}); });
  dlg_->OnBnClickedCalcParams();
  EXPECT_TRUE(dlg_->HasUnsavedLimits());
  EXPECT_TRUE(Enabled(IDC_SAMPLE_SAVE));
  EXPECT_FALSE(Enabled(IDC_SAMPLE_NEXT_FRAME));
  auto* combo = dlg_->findChild<QComboBox*>(CONTROL_NAME(IDC_SAMPLE_PARAM_TYPE));
  EXPECT_EQ(combo->currentIndex(), CSampleDlg::kTypeAdjacent);
  // Node 2 differs by 200 from its neighbours 1 and 5: 20 % of 1000 and 25 %
  // of 800, widened by 20 %; the others get the minimum of 20.
  const std::vector<int32_t> adjacent = {20, 24, 30, 20, 20, 24};
  EXPECT_EQ(dlg_->Limits().adjacentDeviation, adjacent);
  ASSERT_TRUE(qttest::ProcessEventsUntil(
      [&] { return dlg_->View().Picture() && dlg_->View().Picture()->values == adjacent; }));
  dlg_->OnCbnSelchangeParamType(CSampleDlg::kTypeMax);
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    return dlg_->View().Picture()->values ==
           std::vector<int32_t>{1200, 1200, 960, 1200, 1200, 1200};
  }));

  dlg_->OnBnClickedSaveParams();
  EXPECT_FALSE(dlg_->HasUnsavedLimits());
  EXPECT_EQ(platform::IniGetString("Node threshold", "Adjacent Deviation", "", ini_),
            "20,24,30,20,20,24,");
  EXPECT_EQ(platform::IniGetString("Node threshold", "Min", "", ini_), "800,800,640,800,800,800,");
  const std::string saved = ReadBytes(ini_);

  // Computed again and closed: No leaves the INI as it was.
  dlg_->OnBnClickedCalcParams();
  prompts_.answers = {false};
  dlg_->reject();
  EXPECT_EQ(prompts_.questions, QStringList{QStringLiteral("是否保存新的阈值参数？")});
  EXPECT_EQ(ReadBytes(ini_), saved);
}

TEST_F(SampleDlgTest, BeforeAComputationTheLimitTypesShowTheTestSettingsLimits) {
  NodeArrays& nodes = GetNodeArrays();
  std::unique_ptr<NodeArrays> saved;
  const std::vector<int32_t> adjacent = {21, 22, 23, 24, 25, 26};
  const std::vector<int32_t> max = {1100, 1200, 1300, 1400, 1500, 1600};
  const std::vector<int32_t> min = {100, 200, 300, 400, 500, 600};
  {
    std::lock_guard lock(NodeArraysMutex());
    saved = std::make_unique<NodeArrays>(nodes);
    std::copy(adjacent.begin(), adjacent.end(), nodes.NodeAdjDevLimit.begin());
    std::copy(max.begin(), max.end(), nodes.NodeMaxLimit.begin());
    std::copy(min.begin(), min.end(), nodes.NodeMinLimit.begin());
  }
  // A sample frame on the grid first: it must not stay under a limit's name.
  Import({WriteSample("a.sd", {std::vector<int32_t>(6, 7)})});
  const std::pair<int, const std::vector<int32_t>*> cases[] = {
      {CSampleDlg::kTypeMax, &max},
      {CSampleDlg::kTypeMin, &min},
      {CSampleDlg::kTypeAdjacent, &adjacent},
  };
  for (const auto& [type, expected] : cases) {
    SCOPED_TRACE(type);
    dlg_->OnCbnSelchangeParamType(type);
    EXPECT_TRUE(qttest::ProcessEventsUntil([&] {
      return dlg_->View().Picture() && dlg_->View().Picture()->values == *expected;
    }));
  }
  std::lock_guard lock(NodeArraysMutex());
  nodes = *saved;
}

TEST_F(SampleDlgTest, NoFramesAndAChangedPanelAreRefused) {
  Import({WriteSample("empty.sd", {})});
  dlg_->SetRatioAsker([] { return std::optional<AdjustRatios>(AdjustRatios{}); });
  dlg_->OnBnClickedCalcParams();
  EXPECT_EQ(prompts_.warnings,
            QStringList{QStringLiteral("数据读取出现异常，请重新采集数据和导入数据!!")});
  EXPECT_FALSE(dlg_->HasUnsavedLimits());

  Import({WriteSample("a.sd", {std::vector<int32_t>(6, 100)})});
  dlg_->OnBnClickedCalcParams();
  SetRawGeometry(2, 2);
  dlg_->OnBnClickedSaveParams();
  EXPECT_EQ(prompts_.warnings.back(), QStringLiteral("面板已从3x2变为2x2，请重新计算参数"));
  EXPECT_FALSE(std::filesystem::exists(ini_));
  prompts_.answers = {false};
}

TEST(TestThrdAdjustDlg, RefusesValuesOutsideTheirRangesAndSavesTheFiveKeys) {
  ScratchDir dir;
  const auto ini = dir / "test.ini";
  FakePrompts prompts;
  CTestThrdAdjustDlg dlg(ini, prompts);
  auto* times = dlg.findChild<QLineEdit*>(CONTROL_NAME(IDC_ADJUST_SAMPLE_TIMES));
  auto* minRatio = dlg.findChild<QLineEdit*>(CONTROL_NAME(IDC_ADJUST_MIN_RATIO));
  ASSERT_NE(times, nullptr);
  EXPECT_EQ(times->text(), QStringLiteral("16"));
  dlg.show();
  times->setText(QStringLiteral("0"));
  dlg.accept();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(prompts.warnings.back(), QStringLiteral("单个样本采样次数应为1到10000之间的整数"));
  times->setText(QStringLiteral("abc"));
  dlg.accept();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_FALSE(std::filesystem::exists(ini));
  times->setText(QStringLiteral("8"));
  minRatio->setText(QStringLiteral("100"));
  dlg.accept();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.Ratios(), (AdjustRatios{20, 100, 20, 8, 20}));
  EXPECT_EQ(LoadAdjustRatios(ini), dlg.Ratios());
}

}  // namespace
