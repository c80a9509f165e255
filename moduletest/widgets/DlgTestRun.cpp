// A module test run on the page: the operator's starts (buttons, Test ID,
// device arrival), the run's events carried to the UI thread, the bars, and
// the results: the report, the counters and the folders they are in.
#include "moduletest/widgets/DlgTest.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <system_error>

#include "device/ChipGlobals.h"
#include "device/LogSink.h"
#include "moduletest/report/TestReport.h"
#include "moduletest/settings/TestId.h"
#include "moduletest/widgets/DlgTestParts.h"
#include "ui/MyButton.h"
#include "ui/MyProgressCtrl.h"
#include "ui/Prompts.h"
#include "ui/UiBridge.h"

namespace fs = std::filesystem;

using dlgtest::kBarUi;
using dlgtest::Q;
using dlgtest::S;

namespace {

const QColor kBarBlue(0x00, 0x00, 0xFF);

}  // namespace

void CDlgTest::OnBnClickedStartTest() { StartRun(false); }

void CDlgTest::OnBnClickedRetest() { StartRun(true); }

void CDlgTest::OnDeviceArrived() {
  if (!m_autoTest->isChecked() || IsBusy()) return;
  StartRun(false, true);
}

void CDlgTest::StartRun(bool retest, bool automatic) {
  if (IsBusy()) {
    RefuseStart();
    return;
  }
  // A pattern of "x" in the field is set by the operator's button only.
  if (!retest && !automatic && m_currentTestId == 0) {
    const XPattern x = ParseXPattern(S(m_testId->text()));
    if (x.matched) {
      if (!x.minimum) {
        Log("测试ID位数超过19位，最小测试ID未更改", LOG_ERROR);
      } else {
        m_minTestId = *x.minimum;
        std::string error;
        if (!WriteTestIniKey("Test ID", "Min id", std::to_string(m_minTestId), GetTestIniPath(),
                             &error)) {
          Log("测试设置保存失败：" + error, LOG_ERROR);
        }
      }
      m_testId->clear();
      return;
    }
  }
  const TestSettings settings = CurrentSettings();
  if (const auto problem = ValidateForRun(settings)) {
    Log(*problem, LOG_ERROR);
    RefuseStart();
    return;
  }
  if (m_runner == nullptr) {
    Log("测试引擎未接入，无法开始测试", LOG_ERROR);
    RefuseStart();
    return;
  }
  m_startLines.clear();
  m_holdLines = true;
  if (m_settingsChanged) SaveTestSettings();
  // Every run: the panel may have changed with the chip since the last load.
  LoadNodeThresholds();
  m_holdLines = false;
  m_runRequest = TestRunRequest{settings, m_currentTestId, retest};
  ResetBars();
  // The runner refuses while the window is busy, so the window is claimed
  // only once the run is accepted; its events reach the page after this
  // handler returns.
  m_running = true;
  if (!m_runner->StartRun(m_runRequest, *this)) {
    m_running = false;
    for (const auto& [text, level] : m_startLines) m_log.AddLog(text, level);
    Log("测试无法开始", LOG_ERROR);
    RefuseStart();
    return;
  }
  for (CMyButton* b : {m_start, m_retest}) b->setEnabled(false);
  emit BusyChanged(true);
}

void CDlgTest::RefuseStart() {
  m_testId->clear();
  m_testId->setEnabled(true);
}

void CDlgTest::OnEnChangeTestId() {
  const ParsedTestId parsed = ParseTestId(S(m_testId->text()));
  if (!parsed.valid) {
    Log(kInvalidTestIdText, LOG_ERROR);
    m_testId->clear();
    return;
  }
  m_currentTestId = parsed.id;
  if (IsTestIdComplete(m_currentTestId, m_minTestId)) {
    m_testId->setEnabled(false);
    OnBnClickedStartTest();
  }
}

void CDlgTest::OnTestDone() {
  m_testId->clear();
  m_testId->setEnabled(true);
  m_testId->setFocus();
}

// ---------------------------------------------------------------------------
// Results

void CDlgTest::ShowCounters() {
  for (int c = 0; c < kCounterCount; ++c) {
    m_counterLabels[c]->setText(QString::number(m_counters.Shown(c)));
  }
  m_good->setText(QString::number(m_counters.Good()));
  m_yield->setText(Q(m_counters.YieldText()));
}

void CDlgTest::SaveCounters() {
  // The folder may have been removed during the shift.
  std::error_code ec;
  fs::create_directories(m_paths.resultDir, ec);
  std::string error;
  if (!SaveTestCounters(m_counters, m_paths.countersFile, &error)) {
    Log(kCountersFailedText + m_paths.countersFile.string(), LOG_ERROR);
    Log(error, LOG_ERROR);
  }
}

void CDlgTest::UpdateStatistics(const TestItemStates& items, bool passed) {
  m_counters.AddRun(items, passed);
  SaveCounters();
  ShowCounters();
}

void CDlgTest::OnBnClickedResetStatistics() {
  if (RefuseWhileBusy("重置统计信息")) return;
  m_counters.Reset();
  SaveCounters();
  ShowCounters();
}

void CDlgTest::OnBnClickedOpenReport() { OpenFolder(m_paths.resultDir); }

void CDlgTest::OnBnClickedOpenTestFolder() { OpenFolder(m_paths.testDir); }

// A machine without a file manager must not make the button do nothing.
void CDlgTest::OpenFolder(const std::filesystem::path& folder) {
  if (!m_openFolder(Q(folder.string()))) Log("无法打开文件夹：" + folder.string(), LOG_ERROR);
}

void CDlgTest::WriteTestResult(const TestRunOutcome& outcome) {
  TestReportData data;
  data.chipConfig = outcome.chipConfig;
  data.thresholds = m_runRequest.settings.numbers;
  data.items = outcome.items;
  data.testOnly = m_runRequest.settings.mode == UpdateMode::TestOnly;
  data.measurements = outcome.measurements;
  const std::string name = ReportFileName(m_runRequest.testId, outcome.passed, &m_nextResultIndex);
  const std::string path = (m_paths.resultDir / name).string();
  std::error_code ec;
  fs::create_directories(m_paths.resultDir, ec);
  std::string error;
  if (WriteTestReport(m_paths.resultDir, name, BuildTestReport(data), &error)) {
    Log(kReportWrittenText + path, LOG_INFO);
  } else {
    Log(kReportFailedText + path, LOG_ERROR);
    Log(error, LOG_ERROR);
    m_prompts.warn(Q(kReportFailedText + path));
  }
  if (outcome.items[kItemMaxMin] != TEST_OFF) Bar(kBarMaxMin)->setValue(100);
  if (outcome.items[kItemJitter] != TEST_OFF) Bar(kBarJitter)->setValue(100);
}

// ---------------------------------------------------------------------------
// Run events

void CDlgTest::PostToPage(std::function<void(CDlgTest&)> fn) {
  std::weak_ptr<char> alive = m_alive;
  UiBridge::post([this, alive, fn = std::move(fn)] {
    if (alive.lock()) fn(*this);
  });
}

void CDlgTest::OnRunClearLog() {
  // On the run's thread, in order with its lines: the lines it logs next
  // are never caught by the clear. The start's own lines open the run's log
  // (the page leaves them alone until the run is done).
  m_log.Clear();
  for (const auto& [text, level] : m_startLines) m_log.AddLog(text, level);
  PostToPage([](CDlgTest& page) { emit page.ClearLogRequested(); });
}

void CDlgTest::OnRunLog(const std::string& text, LogLevel level) { m_log.AddLog(text, level); }

void CDlgTest::OnRunProgress(TestBar bar, int position) {
  PostToPage([bar, position](CDlgTest& page) { page.Bar(bar)->setValue(position); });
}

void CDlgTest::OnRunBarStep(TestBar bar) {
  PostToPage([bar](CDlgTest& page) { page.Bar(bar)->StepIt(); });
}

void CDlgTest::OnRunBarColour(TestBar bar, uint32_t rgb) {
  PostToPage([bar, rgb](CDlgTest& page) {
    page.Bar(bar)->SetBarColor(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  });
}

void CDlgTest::OnRunItemState(TestItemIndex item, TestItemState state) {
  if (item >= kTestItemCount) return;
  PostToPage([item, state](CDlgTest& page) { page.m_items[item].state = state; });
}

void CDlgTest::OnRunChipInfoChanged() {
  PostToPage([](CDlgTest& page) { emit page.ChipInfoChanged(); });
}

void CDlgTest::OnRunDone(const TestRunOutcome& outcome) {
  PostToPage([outcome](CDlgTest& page) { page.FinishRun(outcome); });
}

void CDlgTest::FinishRun(const TestRunOutcome& outcome) {
  if (!m_running) return;
  for (size_t i = 0; i < kTestItemCount; ++i) m_items[i].state = outcome.items[i];
  // The report first: a program stopped between the two writes leaves a
  // module reported but not counted, never counted without its report.
  WriteTestResult(outcome);
  if (!m_runRequest.retest) UpdateStatistics(outcome.items, outcome.passed);
  OnTestDone();
  m_running = false;
  for (CMyButton* b : {m_start, m_retest}) b->setEnabled(true);
  emit BusyChanged(false);
}

CMyProgressCtrl* CDlgTest::Bar(TestBar bar) const {
  for (int i = 0; i < 6; ++i) {
    if (kBarUi[i].bar == bar) return m_bars[i];
  }
  return m_bars[0];
}

void CDlgTest::ResetBars() {
  for (CMyProgressCtrl* bar : m_bars) {
    bar->SetBkColor(Qt::white);
    bar->SetBarColor(kBarBlue);
    bar->setValue(0);
  }
}
