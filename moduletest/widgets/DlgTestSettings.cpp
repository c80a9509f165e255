// The module test page's settings: test.ini into the controls and back, the
// per-node limits, the enable rules and the settings lock, and the handlers
// that store a change as it is made (file fields, sensor id).
#include "moduletest/widgets/DlgTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <mutex>
#include <system_error>

#include "device/ChipGlobals.h"
#include "device/LogSink.h"
#include "moduletest/settings/NodeThresholds.h"
#include "moduletest/widgets/DlgTestParts.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "ui/MyEditBrowseCtrl.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"

namespace fs = std::filesystem;

using dlgtest::Q;
using dlgtest::S;

namespace {

// Lines kept to be logged later.
class LineList : public ILogSink {
 public:
  void AddLog(const std::string& text, LogLevel level) override { lines.emplace_back(text, level); }
  std::vector<std::pair<std::string, LogLevel>> lines;
};

}  // namespace

bool CDlgTest::LoadTestIniPath() {
  const fs::path ini = m_paths.testIni;
  if (GetTestIniPath() == ini) return true;
  std::error_code ec;
  if (fs::is_regular_file(ini, ec)) {
    SetTestIniPath(ini);
    return false;
  }
  std::string error;
  if (fs::is_directory(ini, ec) || !platform::WriteFileAtomic(ini, "", &error)) {
    // Runs still go ahead on the defaults; nothing is written.
    SetTestIniPath({});
    Log("test.ini创建失败：" + ini.string() + (error.empty() ? "" : "：" + error), LOG_ERROR);
    return false;
  }
  SetTestIniPath(ini);
  WriteChipIni("ModuleTest", "LastTestIni", kTestIniText);
  return false;
}

void CDlgTest::LoadTestSettings(bool fromPackage) {
  std::vector<std::string> warnings;
  const TestSettings s = ::LoadTestSettings(GetTestIniPath(), &warnings);
  for (const std::string& w : warnings) Log(w, LOG_ERROR);
  m_loading = true;
  for (int k = 0; k < kTestFileKinds; ++k) {
    m_filePathEdits[k]->setText(Q(s.filePaths[k]));
    m_filePathEdits[k]->setCursorPosition(m_filePathEdits[k]->text().size());
    m_fileBoxes[k]->setChecked(s.fileEnabled[k]);
  }
  m_filePaths = s.filePaths;
  for (int f = 0; f < kNumericFieldCount; ++f) m_numbers[f]->setText(Q(s.numbers[f]));
  for (int t = 0; t < kTestFlagCount; ++t) m_tests[t]->setChecked(s.tests[t]);
  switch (s.mode) {
    case UpdateMode::TestOnly:
      m_testOnly->setChecked(true);
      break;
    case UpdateMode::VersionCheck:
      m_versionCheck->setChecked(true);
      break;
    case UpdateMode::ForceUpdate:
      m_forceUpdate->setChecked(true);
      break;
  }
  m_sensorId->clear();
  for (int i = 0; i <= 9; ++i) m_sensorId->addItem(QString::number(i));
  m_sensorId->setCurrentText(Q(s.sensorId));
  m_minTestId = s.minTestId;
  m_lock = LockFromStored(s.noModification, fromPackage);
  m_loading = false;
  ApplyEnables();
  LoadNodeThresholds();
}

TestSettings CDlgTest::CurrentSettings() const {
  TestSettings s;
  for (int t = 0; t < kTestFlagCount; ++t) s.tests[t] = m_tests[t]->isChecked();
  s.mode = m_forceUpdate->isChecked()    ? UpdateMode::ForceUpdate
           : m_versionCheck->isChecked() ? UpdateMode::VersionCheck
                                         : UpdateMode::TestOnly;
  for (int k = 0; k < kTestFileKinds; ++k) s.fileEnabled[k] = m_fileBoxes[k]->isChecked();
  s.filePaths = m_filePaths;
  for (int f = 0; f < kNumericFieldCount; ++f) s.numbers[f] = S(m_numbers[f]->text());
  s.autoTest = m_autoTest->isChecked();
  s.sensorId = S(m_sensorId->currentText());
  s.noModification = IsLocked(m_lock);
  s.minTestId = m_minTestId;
  return s;
}

void CDlgTest::SaveTestSettings() {
  const TestSettings s = CurrentSettings();
  std::string error;
  if (!::SaveTestSettings(s, GetTestIniPath(), &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
    return;
  }
  constexpr std::pair<TestItemIndex, NumericField> kItemThresholds[] = {
      {kItemMaxMin, kFieldUniformity},
      {kItemJitter, kFieldJitter},
      {kItemAdjacent, kFieldAdjacentDeviation},
      {kItemOffset, kFieldOffset},
  };
  for (const auto& [item, field] : kItemThresholds) {
    m_items[item].threshold = NumericValue(s.numbers[field]);
  }
  m_settingsChanged = false;
}

void CDlgTest::LoadNodeThresholds() {
  const DataFormat raw = GetDataFormatStore().Format(DataKind::Raw);
  // No panel known yet (no chip): the limits follow once the chip is known.
  if (raw.rows <= 0 || raw.cols <= 0) return;
  const NodeLimitFallbacks fallbacks{NumericValue(S(m_numbers[kFieldMax]->text())),
                                     NumericValue(S(m_numbers[kFieldMin]->text())),
                                     NumericValue(S(m_numbers[kFieldAdjacentDeviation]->text()))};
  LineList lines;
  {
    std::lock_guard lock(NodeArraysMutex());
    ::LoadNodeThresholds(GetTestIniPath(), raw.rows, raw.cols, fallbacks, GetNodeArrays(), &lines);
  }
  for (const auto& [text, level] : lines.lines) Log(text, level);
}

void CDlgTest::OnSettingChanged() {
  m_settingsChanged = true;
  ApplyEnables();
}

void CDlgTest::ApplyEnables() {
  const TestSettings s = CurrentSettings();
  const SettingEnables e = ComputeSettingEnables(s.mode, s.fileEnabled, IsLocked(m_lock));
  for (QCheckBox* box : m_tests) box->setEnabled(e.settings);
  for (QLineEdit* edit : m_numbers) edit->setEnabled(e.settings);
  for (QRadioButton* r : {m_testOnly, m_versionCheck, m_forceUpdate}) r->setEnabled(e.settings);
  m_sensorId->setEnabled(e.settings);
  for (int k = 0; k < kTestFileKinds; ++k) {
    m_fileBoxes[k]->setEnabled(e.fileBoxes[k]);
    m_filePathEdits[k]->setEnabled(e.fileEdits[k]);
  }
  m_noModification->setChecked(IsLocked(m_lock));
  m_noModification->setEnabled(LockBoxEnabled(m_lock));
}

void CDlgTest::SetLock(LockState lock) {
  m_lock = lock;
  ApplyEnables();
  std::string error;
  if (!WriteTestIniKey("Test Package", "No Motification", IsLocked(lock) ? "1" : "0",
                       GetTestIniPath(), &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
  }
}

void CDlgTest::OnBnClickedNoModification() { SetLock(LockByBox(m_noModification->isChecked())); }

void CDlgTest::OnToggleNoModification() { SetLock(ToggleLockByKey(m_lock)); }

void CDlgTest::OnFilePathChanged(int kind) {
  if (m_loading) return;
  const std::string text = S(m_filePathEdits[kind]->text());
  std::error_code ec;
  const bool isFile = !text.empty() && fs::is_regular_file(platform::AppPaths::Resolve(text), ec);
  const std::string recorded = isFile ? text : std::string();
  if (recorded == m_filePaths[kind] && isFile) return;
  m_filePaths[kind] = recorded;
  std::string error;
  if (!WriteTestIniKey("Test File", kTestFileKeys[kind].fileKey, recorded, GetTestIniPath(),
                       &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
  }
}

void CDlgTest::OnFileBoxClicked(int kind) {
  const bool ticked = m_fileBoxes[kind]->isChecked();
  m_filePathEdits[kind]->setEnabled(ticked);
  std::string error;
  if (!WriteTestIniKey("Test Enable", kTestFileKeys[kind].enableKey, ticked ? "1" : "0",
                       GetTestIniPath(), &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
  }
}

void CDlgTest::OnCbnSelchangeSensorId() {
  std::string error;
  if (!WriteTestIniKey("Test Threhold", "Sensor ID", std::to_string(m_sensorId->currentIndex()),
                       GetTestIniPath(), &error)) {
    Log("测试设置保存失败：" + error, LOG_ERROR);
  }
}

void CDlgTest::OnBnClickedNodeThreshold() {
  if (m_nodeThresholdHook) m_nodeThresholdHook();
}
