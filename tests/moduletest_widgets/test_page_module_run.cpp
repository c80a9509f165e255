// The module test from the page to the simulated module and back, in
// virtual time: the page's settings reach the engine, the verdict, the
// report file and the counters come back.

#include <gtest/gtest.h>

#include <QLabel>
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

  // Opens the page on the plugged module (once) and runs one test from its
  // button.
  CDlgTest& RunFromThePage() {
    if (!page_) {
      SetTestIniPath({});
      runner_ = std::make_unique<EngineRunner>(*runClock_);
      page_ = std::make_unique<CDlgTest>(prompts_, log_);
      page_->SetRunner(runner_.get());
    }
    page_->OnBnClickedStartTest();
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
