// The module test from the page to the simulated module and back, in
// virtual time: the page's settings reach the engine, the verdict, the
// report file and the counters come back.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <functional>
#include <memory>

#include "moduletest/run/EngineRunner.h"
#include "moduletest/widgets/DlgTest.h"
#include "tests/moduletest/ModuleRig.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/QtTestUtil.h"
#include "tests/views/RecordingLog.h"
#include "ui/ControlIds.h"

namespace {

namespace fs = std::filesystem;

class PageModuleRun : public ModuleRig {
 protected:
  void TearDown() override {
    page_.reset();
    runner_.reset();
    SetTestIniPath({});
    ModuleRig::TearDown();
  }

  // Opens the page on the plugged module (once).
  CDlgTest& Page() {
    if (!page_) {
      SetTestIniPath({});
      runner_ = std::make_unique<EngineRunner>(*runClock_);
      page_ = std::make_unique<CDlgTest>(prompts_, log_);
      page_->SetRunner(runner_.get());
    }
    return *page_;
  }
  // Runs one test from the page's button.
  CDlgTest& RunFromThePage() {
    Page().OnBnClickedStartTest();
    EXPECT_TRUE(page_->IsRunning());
    EXPECT_TRUE(qttest::ProcessEventsUntil([&] { return !page_->IsRunning(); }));
    return *page_;
  }
  QString Count(const QString& name) { return page_->findChild<QLabel*>(name)->text(); }
  bool Logged(const std::string& line) const {
    for (const std::string& l : log_.Lines()) {
      if (l == line) return true;
    }
    return false;
  }
  std::vector<fs::path> Reports() const {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(Root() / "test" / "test_result")) {
      if (e.path().extension() == ".csv") files.push_back(e.path().filename());
    }
    return files;
  }

  FakePrompts prompts_;
  views_test::RecordingLog log_;
  std::unique_ptr<EngineRunner> runner_;
  std::unique_ptr<CDlgTest> page_;
};

TEST_F(PageModuleRun, AGoodModuleIsOkWithItsReportAndCounted) {
  PlugNamed("good");
  RunFromThePage();
  EXPECT_TRUE(Logged("OK"));
  EXPECT_FALSE(Logged("NG"));
  EXPECT_EQ(Reports(), std::vector<fs::path>{"Result_OK_0.csv"});
  EXPECT_EQ(Count(CONTROL_NAME(IDC_TEST_GOOD_COUNT)), "1");
  EXPECT_EQ(Count(CONTROL_NAME(IDC_TEST_FAILED_COUNT)), "0");
  EXPECT_EQ(Flash(), flashBefore_);
  // The next module right after the outcome came back.
  RunFromThePage();
  EXPECT_EQ(Count(CONTROL_NAME(IDC_TEST_GOOD_COUNT)), "2");
  EXPECT_TRUE(fs::exists(Root() / "test" / "test_result" / "Result_OK_1.csv"));
}

TEST_F(PageModuleRun, ADeadNodeIsNgWithItsReportAndCounted) {
  PlugNamed("dead-node");
  CDlgTest& page = RunFromThePage();
  EXPECT_TRUE(Logged("NG"));
  EXPECT_FALSE(Logged("OK"));
  EXPECT_EQ(page.Items()[kItemMaxMin].state, TEST_FAIL);
  EXPECT_EQ(Reports(), std::vector<fs::path>{"Result_NG_0.csv"});
  EXPECT_EQ(Count(CONTROL_NAME(IDC_TEST_GOOD_COUNT)), "0");
  EXPECT_EQ(Count(CONTROL_NAME(IDC_TEST_FAILED_COUNT)), "1");
}

}  // namespace

namespace {

namespace fs = std::filesystem;

// One module from the page's button: the lines in the log pane, the verdict,
// the report file and its results, the counters, and the chip's flash.
struct PageCase {
  const char* name;
  std::function<sim::ModuleProfile()> module;
  std::vector<QString> ticks;  // buttons clicked on the page before the start
  std::vector<std::string> lines;
  const char* report;
  std::vector<std::string> results;  // lines of the report's "Test Result:"
  QString failCounter;               // the item counter that counts the module, if any
  bool flashKept = true;             // the chip's flash as before the run
};

sim::ModuleProfile Named(const char* name, sim::ChipFamily family = sim::ChipFamily::RU9) {
  return *sim::ModuleProfile::Named(name, family);
}

class PageVerdict : public PageModuleRun, public testing::WithParamInterface<PageCase> {};

TEST_P(PageVerdict, LinesReportAndCounters) {
  const PageCase& c = GetParam();
  PlugModule(c.module());
  for (const QString& name : c.ticks) {
    auto* button = Page().findChild<QAbstractButton*>(name);
    ASSERT_NE(button, nullptr) << name.toStdString();
    button->click();
  }
  RunFromThePage();
  const bool ok = std::string(c.report).rfind("Result_OK", 0) == 0;
  for (const std::string& line : c.lines) {
    EXPECT_TRUE(Logged(line)) << line << " in " << testing::PrintToString(log_.Lines());
  }
  EXPECT_EQ(Logged("OK"), ok);
  EXPECT_EQ(Logged("NG"), !ok);
  ASSERT_EQ(Reports(), std::vector<fs::path>{c.report});
  const std::string report =
      platform::testing_support::ReadBytes(Root() / "test" / "test_result" / c.report);
  for (const std::string& result : c.results) {
    EXPECT_NE(report.find("\t" + result + " \r\n"), std::string::npos) << result;
  }
  EXPECT_EQ(Count(CONTROL_NAME(IDC_TEST_TOTAL_COUNT)), "1");
  EXPECT_EQ(Count(CONTROL_NAME(IDC_TEST_GOOD_COUNT)), ok ? "1" : "0");
  EXPECT_EQ(Count(CONTROL_NAME(IDC_TEST_FAILED_COUNT)), ok ? "0" : "1");
  if (!c.failCounter.isEmpty()) {
    EXPECT_EQ(Count(c.failCounter), "1");
  }
  EXPECT_EQ(Flash() == flashBefore_, c.flashKept);
}

INSTANTIATE_TEST_SUITE_P(
    Modules, PageVerdict,
    testing::Values(PageCase{"GoodDe7",
                             [] { return Named("good", sim::ChipFamily::DE7); },
                             {},
                             {"最大值，最小值测试通过", "相邻偏差测试通过", "INT 测试通过"},
                             "Result_OK_0.csv",
                             {"UniformityTest: PASS", "AdjacentDeviationTest: PASS",
                              "OpenShortTest: PASS"},
                             {}},
                    PageCase{"DeadNodeDe7",
                             [] { return Named("dead-node", sim::ChipFamily::DE7); },
                             {},
                             {"最大值，最小值测试失败", "相邻偏差测试失败"},
                             "Result_NG_0.csv",
                             {"UniformityTest: Failed", "AdjacentDeviationTest: Failed"},
                             CONTROL_NAME(IDC_TEST_MAXMIN_FAILS)},
                    PageCase{"TxShort",
                             [] { return Named("tx-short"); },
                             {},
                             {"Tx3与Tx4短路，阻值为：100K欧"},
                             "Result_NG_0.csv",
                             {"UniformityTest: PASS", "OpenShortTest: Failed"},
                             CONTROL_NAME(IDC_TEST_OPEN_SHORT_FAILS)},
                    PageCase{"GndShortDe7",
                             [] { return Named("avdd-short", sim::ChipFamily::DE7); },
                             {},
                             {" Rx#3与GND之间的阻值为:10千欧", "[Short Test]短路测试失败"},
                             "Result_NG_0.csv",
                             {"OpenShortTest: Failed"},
                             CONTROL_NAME(IDC_TEST_OPEN_SHORT_FAILS)},
                    PageCase{"IntOpen",
                             [] { return Named("int-open"); },
                             {},
                             {"INT 测试失败"},
                             "Result_NG_0.csv",
                             {"UniformityTest: PASS", "OpenShortTest: PASS"},
                             {}},
                    PageCase{"WrongSensorId",
                             [] { return Named("wrong-sensor-id"); },
                             {CONTROL_NAME(IDC_TEST_SENSOR_ID)},
                             {"SENSOR_ID 测试失败"},
                             "Result_NG_0.csv",
                             {"UniformityTest: PASS"},
                             {}},
                    PageCase{"Starvation",
                             [] { return Named("starvation"); },
                             {},
                             {"获取原始值超时"},
                             "Result_NG_0.csv",
                             {"UniformityTest: Failed", "AdjacentDeviationTest: Failed"},
                             CONTROL_NAME(IDC_TEST_MAXMIN_FAILS)},
                    // 2 of 16 readings of one node out of range: undecided, which passes.
                    PageCase{"Undecided",
                             [] {
                               sim::ModuleProfile p;
                               p.faults.intermittentNode = 25;
                               p.faults.intermittentFrames = 2;
                               return p;
                             },
                             {},
                             {},
                             "Result_OK_0.csv",
                             {"UniformityTest: PASS", "AdjacentDeviationTest: PASS"},
                             {}},
                    PageCase{"RestoreFails",
                             [] { return Named("restore-fails"); },
                             {CONTROL_NAME(IDC_TEST_VERSION_CHECK)},
                             {kConfigMismatchLine},
                             "Result_NG_0.csv",
                             {"VersionCheck: FAILED"},
                             CONTROL_NAME(IDC_TEST_UPDATE_FAILS),
                             false}),
    [](const testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

}  // namespace
