#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

#include "device/ChipGlobals.h"
#include "device/chip/PanelGeometry.h"
#include "moduletest/package/PackageCodec.h"
#include "moduletest/widgets/DlgTest.h"
#include "platform/files/AppPaths.h"
#include "platform/files/IniFile.h"
#include "tests/device/ConfigTestUtil.h"
#include "tests/platform/ScratchDir.h"
#include "tests/platform/WriteFault.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/QtTestUtil.h"
#include "tests/views/RecordingLog.h"
#include "ui/ControlIds.h"
#include "ui/MyButton.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/MyProgressCtrl.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
namespace fs = std::filesystem;

class FakeRunner : public IModuleTestRunner {
 public:
  bool StartRun(const TestRunRequest& request, ITestRunEvents& events) override {
    requests.push_back(request);
    last = &events;
    if (onStart) onStart();
    return accept;
  }
  std::function<void()> onStart;
  std::vector<TestRunRequest> requests;
  ITestRunEvents* last = nullptr;
  bool accept = true;
};

TestRunOutcome Outcome(bool passed) {
  TestRunOutcome o;
  o.items[kItemMaxMin] = passed ? TEST_PASS : TEST_FAIL;
  o.passed = passed;
  o.measurements.rows = 1;
  o.measurements.cols = 1;
  return o;
}

class TestPage : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::AppPaths::SetBaseDir(root_.path());
    SetTestIniPath({});
    chipIni_ = root_ / "System" / "ChipIni" / "RO911.ini";
    WriteBytes(chipIni_, "[Cfg]\r\n");
    SetChipIniPath(chipIni_);
    SetChipName("RO911");
  }
  void TearDown() override {
    page_.reset();
    SetTestIniPath({});
    SetChipIniPath({});
    SetChipName("");
  }
  fs::path Ini() const { return root_ / "test" / "test_file" / "test.ini"; }

  CDlgTest& Open() {
    page_ = std::make_unique<CDlgTest>(prompts_, log_);
    page_->SetRunner(&runner_);
    page_->SetFolderOpener([this](const QString& f) {
      opened_ << f;
      return folderOpens_;
    });
    return *page_;
  }
  template <typename T>
  T* Control(const QString& name) {
    T* w = page_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  bool Logged(const std::string& line) const {
    for (const std::string& l : log_.Lines()) {
      if (l == line) return true;
    }
    return false;
  }
  bool LoggedStart(const std::string& prefix) const {
    for (const std::string& l : log_.Lines()) {
      if (l.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  // A 3 x 2 panel for the node limits; returns the formats to put back.
  static DataFormatSet AdoptSmallPanel() {
    const DataFormatSet formats = GetDataFormatStore().Snapshot().set;
    PanelGeometry panel;
    panel.rawRows = 3;
    panel.rawColumns = 2;
    EXPECT_TRUE(GetDataFormatStore().AdoptPanelGeometry(panel));
    return formats;
  }
  void TypeTestId(const QString& text) {
    Control<QLineEdit>(CONTROL_NAME(IDC_TEST_ID))->setText(text);
  }

  ScratchDir root_;
  fs::path chipIni_;
  FakePrompts prompts_;
  views_test::RecordingLog log_;
  FakeRunner runner_;
  QStringList opened_;
  bool folderOpens_ = true;
  std::unique_ptr<CDlgTest> page_;
};

TEST_F(TestPage, FirstStartCreatesTheFoldersAndAnEmptyTestIni) {
  CDlgTest& page = Open();
  for (const char* dir : {"test_file", "temp_file", "test_package", "test_result"}) {
    EXPECT_TRUE(fs::is_directory(root_ / "test" / dir)) << dir;
  }
  EXPECT_EQ(ReadBytes(Ini()), "");
  EXPECT_EQ(platform::IniGetString("ModuleTest", "LastTestIni", "", chipIni_),
            "..\\test\\test_file\\test.ini");
  EXPECT_EQ(page.CurrentSettings(), TestSettings::Defaults());
  EXPECT_TRUE(Control<QRadioButton>(CONTROL_NAME(IDC_TEST_ONLY))->isChecked());
  EXPECT_EQ(Control<QComboBox>(CONTROL_NAME(IDC_TEST_SENSOR_ID_VALUE))->count(), 10);
  EXPECT_TRUE(Control<CMyButton>(CONTROL_NAME(IDC_TEST_RESET_STATISTICS))->isVisibleTo(&page));
  EXPECT_FALSE(Control<CMyButton>(CONTROL_NAME(IDC_TEST_RETEST))->isVisibleTo(&page));
  EXPECT_FALSE(Control<QCheckBox>(CONTROL_NAME(IDC_TEST_JITTER))->isVisibleTo(&page));
}

TEST_F(TestPage, LoadingFillsTheControlsAndNeverWritesTheFile) {
  // A path of another machine: loading must not erase its key.
  const std::string ini =
      "[Test File]\r\nVAzezu_BIN=D:\\line\\RO911.bin\r\n"
      "[Test Enable]\r\nSensorTest=0\r\nVersionCheck=1\r\nVAzezu.bin=1\r\nINT Tets=0\r\n"
      "[Test Threhold]\r\nMax=3000\r\nSensor ID=12\r\n"
      "[Test Package]\r\nNo Motification=0\r\n";
  WriteBytes(Ini(), ini);
  CDlgTest& page = Open();
  EXPECT_EQ(ReadBytes(Ini()), ini);
  EXPECT_TRUE(Control<QRadioButton>(CONTROL_NAME(IDC_TEST_VERSION_CHECK))->isChecked());
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD))->text(), "3000");
  EXPECT_EQ(Control<QComboBox>(CONTROL_NAME(IDC_TEST_SENSOR_ID_VALUE))->currentText(), "12");
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_TEST_FIRMWARE_FILE_PATH))->text(),
            "D:\\line\\RO911.bin");
  EXPECT_TRUE(Control<QLineEdit>(CONTROL_NAME(IDC_TEST_FIRMWARE_FILE_PATH))->isEnabled());
  EXPECT_FALSE(Control<QCheckBox>(CONTROL_NAME(IDC_TEST_INT))->isChecked());
  EXPECT_EQ(page.CurrentSettings().filePaths[kTouchFirmwareFile], "D:\\line\\RO911.bin");
}

TEST_F(TestPage, FileControlsFollowTheModeAndTheirBoxes) {
  Open();
  auto* box = Control<QCheckBox>(CONTROL_NAME(IDC_TEST_CONFIG_FILE_BOX));
  auto* edit = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_CONFIG_FILE_PATH));
  struct Case {
    const char* radio;
    bool ticked;
    bool boxEnabled;
    bool editEnabled;
  } cases[] = {
      {"IDC_TEST_ONLY", true, false, false},        {"IDC_TEST_ONLY", false, false, false},
      {"IDC_TEST_VERSION_CHECK", true, true, true}, {"IDC_TEST_VERSION_CHECK", false, true, false},
      {"IDC_TEST_FORCE_UPDATE", true, true, true},  {"IDC_TEST_FORCE_UPDATE", false, true, false},
  };
  for (const Case& c : cases) {
    Control<QRadioButton>(c.radio)->click();
    box->setChecked(c.ticked);
    page_->OnSettingChanged();
    EXPECT_EQ(box->isEnabled(), c.boxEnabled) << c.radio << c.ticked;
    EXPECT_EQ(edit->isEnabled(), c.editEnabled) << c.radio << c.ticked;
  }
  box->click();  // unticked -> ticked, written at once
  EXPECT_EQ(platform::IniGetString("Test Enable", "VAzezu.cfg", "?", Ini()), "1");
  EXPECT_TRUE(edit->isEnabled());
}

TEST_F(TestPage, LockByMouseByKeyAndByPackage) {
  CDlgTest& page = Open();
  auto* lockBox = Control<QCheckBox>(CONTROL_NAME(IDC_TEST_NO_MODIFICATION));
  auto* max = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD));
  auto* radio = Control<QRadioButton>(CONTROL_NAME(IDC_TEST_FORCE_UPDATE));
  auto* testId = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_ID));
  auto* autoTest = Control<QCheckBox>(CONTROL_NAME(IDC_TEST_AUTO_TEST));
  auto* package = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_PACKAGE_PATH));
  struct Step {
    const char* name;
    std::function<void()> act;
    LockState state;
    bool boxEnabled;
    const char* stored;
  } steps[] = {
      {"mouse locks", [&] { lockBox->click(); }, LockState::LockedByMouse, true, "1"},
      {"mouse unlocks", [&] { lockBox->click(); }, LockState::Unlocked, true, "0"},
      {"key locks", [&] { page.OnToggleNoModification(); }, LockState::LockedByKey, false, "1"},
      {"key unlocks", [&] { page.OnToggleNoModification(); }, LockState::Unlocked, true, "0"},
      {"mouse lock, key unlocks",
       [&] {
         lockBox->click();
         page.OnToggleNoModification();
       },
       LockState::Unlocked, true, "0"},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(page.Lock(), s.state) << s.name;
    const bool locked = s.state != LockState::Unlocked;
    EXPECT_EQ(lockBox->isChecked(), locked) << s.name;
    EXPECT_EQ(lockBox->isEnabled(), s.boxEnabled) << s.name;
    EXPECT_EQ(max->isEnabled(), !locked) << s.name;
    EXPECT_EQ(radio->isEnabled(), !locked) << s.name;
    // Never locked: the Test ID, the automatic test and the package.
    EXPECT_TRUE(testId->isEnabled() && autoTest->isEnabled() && package->isEnabled()) << s.name;
    EXPECT_EQ(platform::IniGetString("Test Package", "No Motification", "?", Ini()), s.stored)
        << s.name;
  }
}

TEST_F(TestPage, APathThatIsNoFileEmptiesItsKey) {
  WriteBytes(root_ / "fw" / "RO911.bin", "fw");
  CDlgTest& page = Open();
  Control<QRadioButton>(CONTROL_NAME(IDC_TEST_FORCE_UPDATE))->click();
  Control<QCheckBox>(CONTROL_NAME(IDC_TEST_FIRMWARE_FILE_BOX))->click();
  auto* edit = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_FIRMWARE_FILE_PATH));
  edit->setText(QString::fromStdString((root_ / "fw" / "RO911.bin").string()));
  EXPECT_EQ(platform::IniGetString("Test File", "VAzezu_BIN", "?", Ini()),
            (root_ / "fw" / "RO911.bin").string());
  edit->setText(QString::fromStdString((root_ / "fw").string()));  // a folder
  EXPECT_EQ(platform::IniGetString("Test File", "VAzezu_BIN", "?", Ini()), "");
  EXPECT_EQ(page.CurrentSettings().filePaths[kTouchFirmwareFile], "");
}

TEST_F(TestPage, TestIdFlow) {
  CDlgTest& page = Open();
  auto* testId = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_ID));
  // Eleven x set the minimum and start nothing.
  TypeTestId(QStringLiteral("xxxxxxxxxxx"));
  page.OnBnClickedStartTest();
  EXPECT_EQ(page.MinTestId(), 10000000000);
  EXPECT_EQ(platform::IniGetString("Test ID", "Min id", "?", Ini()), "10000000000");
  EXPECT_TRUE(testId->text().isEmpty());
  EXPECT_TRUE(runner_.requests.empty());
  // Ten digits are not complete; the eleventh starts the run.
  TypeTestId(QStringLiteral("1234567890"));
  EXPECT_TRUE(runner_.requests.empty());
  TypeTestId(QStringLiteral("12345678901A"));
  ASSERT_EQ(runner_.requests.size(), 1u);
  EXPECT_EQ(runner_.requests[0].testId, 12345678901);
  EXPECT_FALSE(runner_.requests[0].retest);
  EXPECT_FALSE(testId->isEnabled());
  EXPECT_TRUE(page.IsRunning());
  // A start while running is ignored.
  page.OnBnClickedStartTest();
  EXPECT_EQ(runner_.requests.size(), 1u);
  page.OnRunDone(Outcome(false));
  EXPECT_TRUE(fs::exists(root_ / "test" / "test_result" / "12345678901_NG.csv"));
  EXPECT_TRUE(testId->isEnabled());
  EXPECT_TRUE(testId->text().isEmpty());
  EXPECT_EQ(page.CurrentTestId(), 0);
  EXPECT_FALSE(page.IsRunning());
  // Twenty digits name no module.
  TypeTestId(QStringLiteral("12345678901234567890"));
  EXPECT_TRUE(Logged("测试ID无效"));
  EXPECT_TRUE(testId->text().isEmpty());
  EXPECT_EQ(runner_.requests.size(), 1u);
  // The button with no Test ID runs a module named by index.
  page.OnBnClickedStartTest();
  ASSERT_EQ(runner_.requests.size(), 2u);
  EXPECT_EQ(runner_.requests[1].testId, 0);
  page.OnRunDone(Outcome(true));
  EXPECT_TRUE(fs::exists(root_ / "test" / "test_result" / "Result_OK_0.csv"));
  EXPECT_EQ(page.NextResultIndex(), 1);
}

TEST_F(TestPage, RefusedStartsReleaseTheTestIdField) {
  CDlgTest& page = Open();
  auto* testId = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_ID));
  Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD))->setText(QStringLiteral("35x0"));
  TypeTestId(QStringLiteral("12345678901"));
  EXPECT_TRUE(runner_.requests.empty());
  EXPECT_TRUE(LoggedStart("测试设置无效：最大阈值"));
  EXPECT_TRUE(testId->isEnabled());
  EXPECT_TRUE(testId->text().isEmpty());
  // The typed text is still saved as typed.
  page.SaveTestSettings();
  EXPECT_EQ(platform::IniGetString("Test Threhold", "Max", "?", Ini()), "35x0");
  // Without a runner nothing starts either.
  Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD))->setText(QStringLiteral("3500"));
  page.SetRunner(nullptr);
  TypeTestId(QStringLiteral("12345678901"));
  EXPECT_TRUE(Logged("测试引擎未接入，无法开始测试"));
  EXPECT_TRUE(testId->isEnabled());
  EXPECT_FALSE(page.IsRunning());
}

TEST_F(TestPage, RunSnapshotsTheSettingsAndBusyFollowsTheRun) {
  CDlgTest& page = Open();
  QSignalSpy busy(&page, &CDlgTest::BusyChanged);
  QSignalSpy cleared(&page, &CDlgTest::ClearLogRequested);
  QSignalSpy chipInfo(&page, &CDlgTest::ChipInfoChanged);
  // The runner refuses while the window is busy: the page claims the window
  // only after the run was accepted.
  int busyAtStart = -1;
  runner_.onStart = [&] { busyAtStart = static_cast<int>(busy.size()); };
  page.OnBnClickedStartTest();
  EXPECT_EQ(busyAtStart, 0);
  ASSERT_EQ(runner_.requests.size(), 1u);
  EXPECT_EQ(runner_.requests[0].settings, page.CurrentSettings());
  // Edits during the run do not reach the run's report.
  Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD))->setText(QStringLiteral("9999"));
  // Events come from the runner's thread.
  std::thread worker([&] {
    runner_.last->OnRunClearLog();
    runner_.last->OnRunProgress(kBarOpenShort, 40);
    runner_.last->OnRunBarStep(kBarOpenShort);
    runner_.last->OnRunChipInfoChanged();
    runner_.last->OnRunBarColour(kBarOpenShort, 0xFF0000);
    runner_.last->OnRunItemState(kItemOpenShort, TEST_FAIL);
    runner_.last->OnRunLog("NG", LOG_FAIL);
    runner_.last->OnRunDone(Outcome(true));
  });
  worker.join();
  // The clear reached the log on the run's thread, before the run's lines,
  // not later from the UI thread where it would catch them.
  const std::vector<std::string> lines = log_.Lines();
  const size_t verdict = std::find(lines.begin(), lines.end(), "NG") - lines.begin();
  ASSERT_LT(verdict, lines.size());
  EXPECT_EQ(log_.ClearsAt(), std::vector<size_t>{verdict});
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !page.IsRunning(); }));
  EXPECT_EQ(log_.ClearsAt().size(), 1u);
  EXPECT_EQ(page.Items()[kItemMaxMin].state, TEST_PASS);
  EXPECT_EQ(page.Items()[kItemAdjacent].threshold, 40);  // saved at the start
  auto* bar = Control<CMyProgressCtrl>(CONTROL_NAME(IDC_TEST_OPEN_SHORT_PROGRESS));
  EXPECT_EQ(bar->value(), 43);  // a step by the page's own step of that bar
  EXPECT_EQ(cleared.size(), 1);
  EXPECT_EQ(chipInfo.size(), 1);
  EXPECT_EQ(bar->BarColor(), QColor(0xFF, 0, 0));
  ASSERT_EQ(busy.size(), 2);
  EXPECT_TRUE(busy[0][0].toBool());
  EXPECT_FALSE(busy[1][0].toBool());
  const std::string report = ReadBytes(root_ / "test" / "test_result" / "Result_OK_0.csv");
  EXPECT_NE(report.find("\tMax: 3500\r\n"), std::string::npos);
  EXPECT_TRUE(Logged("测试报告：" + (root_ / "test" / "test_result" / "Result_OK_0.csv").string()));
}

// A device arrival starts a run only with the automatic test ticked and
// nothing running; every other arrival is dropped without a line.
TEST_F(TestPage, ADeviceArrivalStartsARunOnlyWhenAutomaticAndIdle) {
  CDlgTest& page = Open();
  page.OnDeviceArrived();
  EXPECT_TRUE(runner_.requests.empty());
  Control<QCheckBox>(CONTROL_NAME(IDC_TEST_AUTO_TEST))->click();
  ASSERT_TRUE(page.CurrentSettings().autoTest);
  page.OnDeviceArrived();
  ASSERT_EQ(runner_.requests.size(), 1u);
  EXPECT_FALSE(runner_.requests[0].retest);
  EXPECT_TRUE(page.IsRunning());
  page.OnDeviceArrived();
  EXPECT_EQ(runner_.requests.size(), 1u) << "an arrival during a run is dropped";
  runner_.last->OnRunDone(Outcome(true));
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !page.IsRunning(); }));
  EXPECT_EQ(page.Counters().Good(), 1);
  // The window busy with an update: its arrivals start no test and leave
  // the Test ID the operator is typing alone.
  TypeTestId(QStringLiteral("1234567890"));
  FakeStreamControl window;
  window.busy = true;
  SetStreamControl(&window);
  page.OnDeviceArrived();
  SetStreamControl(nullptr);
  EXPECT_EQ(runner_.requests.size(), 1u) << "an arrival while the window is busy is dropped";
  EXPECT_FALSE(page.IsRunning());
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_TEST_ID))->text(), QStringLiteral("1234567890"));
  EXPECT_FALSE(LoggedStart("测试无法开始"));
}

TEST_F(TestPage, CountersArePersistedRetestIsNotCountedAndResetIsKept) {
  {
    CDlgTest& page = Open();
    page.OnBnClickedStartTest();
    page.OnRunDone(Outcome(false));
    page.OnBnClickedStartTest();
    page.OnRunDone(Outcome(true));
    page.OnBnClickedRetest();
    ASSERT_TRUE(runner_.requests.back().retest);
    page.OnRunDone(Outcome(false));
    EXPECT_EQ(Control<QLabel>(CONTROL_NAME(IDC_TEST_TOTAL_COUNT))->text(), "2");
    EXPECT_EQ(Control<QLabel>(CONTROL_NAME(IDC_TEST_FAILED_COUNT))->text(), "1");
    EXPECT_EQ(Control<QLabel>(CONTROL_NAME(IDC_TEST_MAXMIN_FAILS))->text(), "1");
    EXPECT_EQ(Control<QLabel>(CONTROL_NAME(IDC_TEST_YIELD))->text(), "50.00");
    // The retest wrote its report all the same.
    EXPECT_TRUE(fs::exists(root_ / "test" / "test_result" / "Result_NG_2.csv"));
  }
  page_.reset();
  SetTestIniPath({});
  CDlgTest& again = Open();
  EXPECT_EQ(again.Counters().values[kCountTotal], 2u);
  EXPECT_EQ(again.NextResultIndex(), 3);
  EXPECT_EQ(Control<QLabel>(CONTROL_NAME(IDC_TEST_GOOD_COUNT))->text(), "1");
  // No counter leaks into the test setup.
  EXPECT_EQ(platform::IniGetString("Test Report", "TotalTestCnt", "none", Ini()), "none");

  again.OnBnClickedStartTest();
  again.OnBnClickedResetStatistics();  // refused while the run is on
  EXPECT_TRUE(Logged("测试进行中，不能重置统计信息"));
  EXPECT_EQ(again.Counters().values[kCountTotal], 2u);
  again.OnRunDone(Outcome(true));
  again.OnBnClickedResetStatistics();
  EXPECT_EQ(Control<QLabel>(CONTROL_NAME(IDC_TEST_YIELD))->text(), "0.00");
  page_.reset();
  SetTestIniPath({});
  EXPECT_EQ(Open().Counters(), TestCounters{});
}

// The program stopped after the first of a module's two writes (report,
// counters): the module may go uncounted, but is never counted without its
// report, which no later start can bring back.
TEST_F(TestPage, AStopBetweenTheWritesNeverCountsAModuleWithoutItsReport) {
  CDlgTest& page = Open();
  page.OnBnClickedStartTest();
  {
    platform::testing_support::ScopedWriteFault stop(platform::testing_support::StopAfterWrites(1));
    page.OnRunDone(Outcome(true));
  }
  page_.reset();
  SetTestIniPath({});
  const fs::path results = root_ / "test" / "test_result";
  const TestCounters counted = LoadTestCounters(results / "TestReport.ini", Ini());
  size_t reports = 0;
  for (const auto& entry : fs::directory_iterator(results)) {
    if (entry.path().extension() == ".csv") ++reports;
  }
  EXPECT_EQ(reports, 1u);
  EXPECT_LE(counted.values[kCountTotal], reports);
}

TEST_F(TestPage, AFailedReportWriteIsNeverReportedAsWritten) {
  CDlgTest& page = Open();
  // The result folder replaced by a file: nothing can be created in it.
  fs::remove_all(root_ / "test" / "test_result");
  WriteBytes(root_ / "test" / "test_result", "not a folder");
  page.OnBnClickedStartTest();
  page.OnRunDone(Outcome(true));
  const std::string path = (root_ / "test" / "test_result" / "Result_OK_0.csv").string();
  EXPECT_TRUE(Logged("测试报告写入失败：" + path));
  EXPECT_FALSE(LoggedStart("测试报告："));
  ASSERT_EQ(prompts_.warnings.size(), 1);
  EXPECT_EQ(prompts_.warnings[0].toStdString(), "测试报告写入失败：" + path);
  // The Test ID field is released all the same.
  EXPECT_TRUE(Control<QLineEdit>(CONTROL_NAME(IDC_TEST_ID))->isEnabled());
  EXPECT_FALSE(page.IsRunning());
}

TEST_F(TestPage, ImportingAPackageReloadsTheSettings) {
  CDlgTest& page = Open();
  std::string bytes;
  ASSERT_TRUE(EncodePackage(
      {{"line.ini", "[Test Threhold]\r\nMax=2800\r\n[Test Package]\r\nNo Motification=1\r\n"},
       {"RO911.cfg", "cfg"}},
      &bytes, nullptr));
  WriteBytes(root_ / "in" / "line.tp", bytes);
  QSignalSpy demo(&page, &CDlgTest::ShowDemoPageRequested);
  auto* package = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_PACKAGE_PATH));
  package->setText(QString::fromStdString((root_ / "in" / "line.tp").string()));
  emit package->editingFinished();
  EXPECT_TRUE(Logged("导入测试配置包成功"));
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD))->text(), "2800");
  EXPECT_EQ(page.Lock(), LockState::LockedByKey);
  EXPECT_FALSE(Control<QCheckBox>(CONTROL_NAME(IDC_TEST_NO_MODIFICATION))->isEnabled());
  EXPECT_EQ(demo.size(), 1);
  EXPECT_EQ(ReadBytes(root_ / "test" / "test_file" / "RO911.cfg"), "cfg");
  EXPECT_TRUE(fs::exists(root_ / "test" / "test_package" / "line.tp"));
  EXPECT_EQ(platform::IniGetString("Test File", "Test Package", "", chipIni_),
            (root_ / "in" / "line.tp").string());
  // Finishing the same text again imports nothing.
  emit package->editingFinished();
  const auto lines = log_.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "导入测试配置包成功"), 1);
}

TEST_F(TestPage, ADamagedPackageLeavesTheSetupAsItWas) {
  WriteBytes(Ini(), "[Test Threhold]\r\nMax=3100\r\n");
  CDlgTest& page = Open();
  std::string bytes;
  ASSERT_TRUE(EncodePackage({{"test.ini", "[Test Threhold]\r\nMax=1\r\n"}}, &bytes, nullptr));
  WriteBytes(root_ / "bad.tp", bytes.substr(0, bytes.size() - 3));  // cut short
  auto* package = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_PACKAGE_PATH));
  package->setText(QString::fromStdString((root_ / "bad.tp").string()));
  emit package->editingFinished();
  EXPECT_TRUE(Logged("导入测试配置包失败"));
  EXPECT_EQ(ReadBytes(Ini()), "[Test Threhold]\r\nMax=3100\r\n");
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD))->text(), "3100");
  EXPECT_EQ(page.Lock(), LockState::Unlocked);
}

TEST_F(TestPage, SaveWithoutAPackageExportsAndImportsIt) {
  CDlgTest& page = Open();
  page.SetClock([] { return QDateTime(QDate(2021, 3, 4), QTime(5, 6)); });
  const fs::path chosen = root_ / "test" / "test_package" / "RO911_202103040506.tp";
  prompts_.saveResults.push_back(QString::fromStdString(chosen.string()));
  page.OnBnClickedSaveConfig();
  ASSERT_EQ(prompts_.saveCalls.size(), 1u);
  EXPECT_EQ(prompts_.saveCalls[0].proposedName, "RO911_202103040506.tp");
  EXPECT_TRUE(Logged("导出测试配置成功"));
  EXPECT_TRUE(Logged("导入测试配置包成功"));
  EXPECT_EQ(Control<QLineEdit>(CONTROL_NAME(IDC_TEST_PACKAGE_PATH))->text().toStdString(),
            chosen.string());
  // Nothing changed since: closing asks nothing.
  page.PrepareClose();
  EXPECT_TRUE(prompts_.questions.isEmpty());
}

TEST_F(TestPage, SaveIntoAnOutsidePackageWritesTheCopyInThePackageFolder) {
  CDlgTest& page = Open();
  std::string bytes;
  ASSERT_TRUE(EncodePackage({{"test.ini", ""}}, &bytes, nullptr));
  WriteBytes(root_ / "line1.tp", bytes);
  auto* package = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_PACKAGE_PATH));
  package->setText(QString::fromStdString((root_ / "line1.tp").string()));
  emit package->editingFinished();
  Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD))->setText(QStringLiteral("3300"));
  prompts_.answers.push_back(true);
  page.PrepareClose();  // changed: asks, and Yes saves
  ASSERT_EQ(prompts_.questions.size(), 1);
  EXPECT_EQ(prompts_.questions[0], "测试配置有改动，是否保存？");
  const std::string target = "..\\test\\test_package\\line1.tp";
  EXPECT_TRUE(Logged(target + "保存成功"));
  EXPECT_EQ(package->text().toStdString(), target);
  EXPECT_EQ(platform::IniGetString("Test File", "Test Package", "", chipIni_), target);
  // The saved package matches: the next close asks nothing.
  page.PrepareClose();
  EXPECT_EQ(prompts_.questions.size(), 1);
}

// The per-node limits follow the panel: the sampled lists when they fit,
// else the page's global values, reloaded at every start.
TEST_F(TestPage, NodeLimitsFollowThePanelAndTheEdits) {
  const DataFormatSet formats = AdoptSmallPanel();
  WriteBytes(Ini(), "[Node threshold]\r\nMax=10,20,30,40,50,60,\r\nMin=1,2\r\n");
  auto limits = [](const std::array<int32_t, NodeArrays::kNodes>& a) {
    return std::vector<int32_t>(a.begin(), a.begin() + 6);
  };
  CDlgTest& page = Open();
  {
    std::lock_guard lock(NodeArraysMutex());
    EXPECT_EQ(limits(GetNodeArrays().NodeMaxLimit), (std::vector<int32_t>{10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(limits(GetNodeArrays().NodeMinLimit), std::vector<int32_t>(6, 1000));
    EXPECT_EQ(limits(GetNodeArrays().NodeAdjDevLimit), std::vector<int32_t>(6, 40));
  }
  EXPECT_TRUE(LoggedStart(Ini().string() + " [Node threshold] \"Min\""));
  Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MIN_THRESHOLD))->setText(QStringLiteral("900"));
  page.OnBnClickedStartTest();
  {
    std::lock_guard lock(NodeArraysMutex());
    EXPECT_EQ(limits(GetNodeArrays().NodeMinLimit), std::vector<int32_t>(6, 900));
  }
  page.OnRunDone(Outcome(true));
  ASSERT_TRUE(GetDataFormatStore().Replace(formats));
}

// What the start's preparation says (a node list that does not fit the
// panel, settings that could not be saved) belongs to the run: it is in the
// run's log, after the run's own clear.
TEST_F(TestPage, TheStartsLinesAreInTheRunsLog) {
  const DataFormatSet formats = AdoptSmallPanel();
  struct Case {
    const char* what;
    std::string ini;
    bool blockSave;
    std::string linePrefix;
  };
  const Case cases[] = {
      {"a node list of another length", "[Node threshold]\r\nMin=1,2\r\n", false,
       Ini().string() + " [Node threshold] \"Min\""},
      {"settings that cannot be saved", "", true, "测试设置保存失败："},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(Ini(), c.ini);
    CDlgTest& page = Open();
    Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD))->setText(QStringLiteral("3400"));
    if (c.blockSave) {
      fs::remove(Ini());
      fs::create_directories(Ini() / "taken");
    }
    page.OnBnClickedStartTest();
    ASSERT_TRUE(page.IsRunning());
    std::thread worker([&] {
      runner_.last->OnRunClearLog();
      runner_.last->OnRunLog("NG", LOG_FAIL);
      runner_.last->OnRunDone(Outcome(false));
    });
    worker.join();
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !page.IsRunning(); }));
    const std::vector<std::string> lines = log_.Lines();
    ASSERT_FALSE(log_.ClearsAt().empty());
    const auto run = lines.begin() + static_cast<std::ptrdiff_t>(log_.ClearsAt().back());
    const auto verdict = std::find(run, lines.end(), "NG");
    EXPECT_EQ(std::count_if(run, verdict,
                            [&](const std::string& l) { return l.rfind(c.linePrefix, 0) == 0; }),
              1)
        << log_.All();
    page_.reset();
    fs::remove_all(Ini());
  }
  ASSERT_TRUE(GetDataFormatStore().Replace(formats));
}

// A package that was refused goes back out of the field, so the close
// offers to save only into a package that was imported, never over the
// refused file.
TEST_F(TestPage, ARefusedPackageIsNeverOfferedForSaving) {
  CDlgTest& page = Open();
  auto* package = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_PACKAGE_PATH));
  auto choose = [&](const fs::path& file) {
    package->setText(QString::fromStdString(file.string()));
    emit package->editingFinished();
  };
  std::string good;
  ASSERT_TRUE(EncodePackage({{"test.ini", ""}}, &good, nullptr));
  const fs::path damaged = root_ / "test" / "test_package" / "bad.tp";
  const std::string damagedBytes = good.substr(0, good.size() - 3);  // cut short
  WriteBytes(damaged, damagedBytes);
  auto* max = Control<QLineEdit>(CONTROL_NAME(IDC_TEST_MAX_THRESHOLD));

  // No package before the choice: the field is empty again, nothing is asked.
  choose(damaged);
  EXPECT_TRUE(Logged("导入测试配置包失败"));
  EXPECT_EQ(package->text(), QString());
  max->setText(QStringLiteral("3300"));
  page.PrepareClose();
  EXPECT_TRUE(prompts_.questions.isEmpty());
  EXPECT_EQ(ReadBytes(damaged), damagedBytes);

  // An imported package before the choice: the field names it again, and the
  // close offers to save into it.
  const fs::path line = root_ / "test" / "test_package" / "line1.tp";
  WriteBytes(line, good);
  choose(line);
  ASSERT_TRUE(Logged("导入测试配置包成功"));
  choose(damaged);
  EXPECT_EQ(package->text().toStdString(), line.string());
  max->setText(QStringLiteral("3200"));
  prompts_.answers.push_back(true);
  page.PrepareClose();
  ASSERT_EQ(prompts_.questions.size(), 1);
  EXPECT_EQ(prompts_.questions[0], "测试配置有改动，是否保存？");
  EXPECT_TRUE(Logged("..\\test\\test_package\\line1.tp保存成功"));
  EXPECT_EQ(ReadBytes(damaged), damagedBytes);
  EXPECT_NE(ReadBytes(line), good);
}

TEST_F(TestPage, FolderButtonsAndTheNodeThresholdHook) {
  CDlgTest& page = Open();
  Control<CMyButton>(CONTROL_NAME(IDC_TEST_NODE_THRESHOLD))->click();  // nothing yet
  int opened = 0;
  page.SetNodeThresholdHook([&] { ++opened; });
  Control<CMyButton>(CONTROL_NAME(IDC_TEST_NODE_THRESHOLD))->click();
  EXPECT_EQ(opened, 1);
  Control<CMyButton>(CONTROL_NAME(IDC_TEST_OPEN_REPORT))->click();
  Control<CMyButton>(CONTROL_NAME(IDC_TEST_OPEN_FOLDER))->click();
  ASSERT_EQ(opened_.size(), 2);
  EXPECT_EQ(opened_[0].toStdString(), (root_ / "test" / "test_result").string());
  EXPECT_EQ(opened_[1].toStdString(), (root_ / "test").string());
  EXPECT_TRUE(log_.Lines().empty()) << log_.All();
  auto* combo = Control<QComboBox>(CONTROL_NAME(IDC_TEST_SENSOR_ID_VALUE));
  combo->setCurrentIndex(5);
  page.OnCbnSelchangeSensorId();
  EXPECT_EQ(platform::IniGetString("Test Threhold", "Sensor ID", "?", Ini()), "5");
}

// With nothing to open a folder, each button says so instead of doing nothing.
TEST_F(TestPage, FolderButtonsLogAFolderThatCannotBeOpened) {
  struct Case {
    QString button;
    fs::path folder;
  };
  const Case cases[] = {
      {CONTROL_NAME(IDC_TEST_OPEN_REPORT), root_ / "test" / "test_result"},
      {CONTROL_NAME(IDC_TEST_OPEN_FOLDER), root_ / "test"},
  };
  Open();
  folderOpens_ = false;
  for (const Case& c : cases) {
    const size_t before = log_.Lines().size();
    Control<CMyButton>(c.button)->click();
    const std::vector<std::string> lines = log_.Lines();
    const std::vector<LogLevel> levels = log_.Levels();
    ASSERT_EQ(lines.size(), before + 1) << c.button.toStdString();
    EXPECT_EQ(lines.back(), "无法打开文件夹：" + c.folder.string());
    EXPECT_EQ(levels.back(), LOG_ERROR);
  }
}

}  // namespace
