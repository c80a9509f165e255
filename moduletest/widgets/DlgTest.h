#pragma once
// The module test page of the main window (PAGE_TEST): the test items and
// thresholds, the update mode and its four files, the test package, the
// settings lock, the Test ID field, the progress bars and the counters.
//
// A thin layer over the Qt-free core: the settings model and test.ini
// (TestSettings), the counters and reports (TestCounters, TestReport), the
// packages (TestPackage, PackageExport) and the Test ID and lock rules. The
// run itself is not the page's: a start validates the settings, takes a copy
// of them and of the Test ID and hands them to an IModuleTestRunner; the
// runner's events come back on any thread and are carried to the UI thread,
// and the page counts, writes the report and releases the Test ID field
// when the run is done.
//
// The members are defined by concern in DlgTest*.cpp (start, layout,
// settings, run, packages).

#include <QDateTime>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "moduletest/TestItem.h"
#include "moduletest/TestPaths.h"
#include "moduletest/report/TestCounters.h"
#include "moduletest/run/ModuleTestRunner.h"
#include "moduletest/settings/SettingsLock.h"
#include "moduletest/settings/TestSettings.h"

class CMyButton;
class CMyEditBrowseCtrl;
class CMyProgressCtrl;
class ILogSink;
class IPrompts;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CDlgTest : public QWidget, public ITestRunEvents {
  Q_OBJECT

 public:
  // Repairs an interrupted package import, creates the test folders, finds
  // the next report number, and loads test.ini and the counters (paths below
  // platform::AppPaths::BaseDir()).
  CDlgTest(IPrompts& prompts, ILogSink& log, QWidget* parent = nullptr);
  ~CDlgTest() override;

  // Seams. Without a runner a start is refused with a line in the log. A
  // started run holds a reference to the page until its OnRunDone; the main
  // window refuses to close while a run is on, so the page outlives it.
  void SetRunner(IModuleTestRunner* runner) { m_runner = runner; }
  // The node-threshold button opens the sampling dialog; until that exists
  // the hook is empty and the button does nothing.
  void SetNodeThresholdHook(std::function<void()> hook) { m_nodeThresholdHook = std::move(hook); }
  // Opens a folder for the operator (the desktop's file manager by default);
  // false when nothing could open it.
  void SetFolderOpener(std::function<bool(const QString&)> opener) {
    m_openFolder = std::move(opener);
  }
  // The clock of the exported package's suggested name.
  void SetClock(std::function<QDateTime()> now) { m_now = std::move(now); }

  // test.ini: the fixed path, the settings into the controls, the controls
  // back into the file, the per-node limits.
  bool LoadTestIniPath();
  void LoadTestSettings(bool fromPackage = false);
  void SaveTestSettings();
  void LoadNodeThresholds();
  // The settings as the controls hold them now.
  TestSettings CurrentSettings() const;

  // The operator's handlers.
  void OnBnClickedStartTest();
  void OnBnClickedRetest();
  // A bridge or its programming device arrived: a run starts when
  // "插入设备后自动测试" is ticked and nothing else is running; otherwise the
  // arrival is dropped.
  void OnDeviceArrived();
  void OnEnChangeTestId();
  void OnTestDone();
  void OnSettingChanged();
  void OnBnClickedNoModification();
  // Ctrl+F7 of the main window.
  void OnToggleNoModification();
  void OnFilePathChanged(int kind);
  void OnFileBoxClicked(int kind);

  // Results.
  void OnBnClickedResetStatistics();
  void OnBnClickedOpenReport();
  void OnBnClickedOpenTestFolder();
  void OnCbnSelchangeSensorId();
  void OnBnClickedNodeThreshold();

  // Packages.
  void ExportTestPackage();
  bool ImportTestPackage();
  void OnBnClickedSaveConfig();

  // Before the window closes (never during a run): saves the settings, then
  // asks to save a setup that no longer matches its package.
  void PrepareClose();

  // A run of this page, or another owner of the device (a burn), is active.
  bool IsBusy() const;
  bool IsRunning() const { return m_running; }
  LockState Lock() const { return m_lock; }
  const TestCounters& Counters() const { return m_counters; }
  // The eight items: the states of the last run, the thresholds of the
  // last save.
  const TestItems& Items() const { return m_items; }
  int32_t NextResultIndex() const { return m_nextResultIndex; }
  int64_t CurrentTestId() const { return m_currentTestId; }
  int64_t MinTestId() const { return m_minTestId; }
  bool SettingsChanged() const { return m_settingsChanged; }
  const TestPaths& Paths() const { return m_paths; }

  // ITestRunEvents: called on the runner's thread, carried to the UI thread.
  void OnRunClearLog() override;
  void OnRunLog(const std::string& text, LogLevel level) override;
  void OnRunProgress(TestBar bar, int position) override;
  void OnRunBarStep(TestBar bar) override;
  void OnRunBarColour(TestBar bar, uint32_t rgb) override;
  void OnRunItemState(TestItemIndex item, TestItemState state) override;
  void OnRunChipInfoChanged() override;
  void OnRunDone(const TestRunOutcome& outcome) override;

 signals:
  // A run starts or ends: the main window takes or releases the device.
  void BusyChanged(bool busy);
  // A locked package was imported: the main window goes to the demo page.
  void ShowDemoPageRequested();
  // A run starts: the log has been emptied.
  void ClearLogRequested();
  // A run has its verdict: the main window reads the chip information again.
  void ChipInfoChanged();

 private:
  void BuildUi();
  void ConnectHandlers();
  QWidget* BuildItemsGroup();
  QWidget* BuildUpdateGroup();
  QWidget* BuildResultsGroup();
  void StartRun(bool retest, bool automatic = false);
  // Clears and re-enables the Test ID field after a start that did not run.
  void RefuseStart();
  void FinishRun(const TestRunOutcome& outcome);
  void UpdateStatistics(const TestItemStates& items, bool passed);
  void WriteTestResult(const TestRunOutcome& outcome);
  void ShowCounters();
  void SaveCounters();
  void SetLock(LockState lock);
  // The enable rules over every setting control, the lock box included.
  void ApplyEnables();
  CMyProgressCtrl* Bar(TestBar bar) const;
  void ResetBars();
  // Runs fn on the UI thread while the page still exists.
  void PostToPage(std::function<void(CDlgTest&)> fn);
  // Refuses, with a line, an action that must not overlap a run.
  bool RefuseWhileBusy(const char* what);
  void WriteChipIni(const char* section, const char* key, const std::string& value);
  void SetPackageText(const QString& text);
  void Log(const std::string& text, LogLevel level);
  void OpenFolder(const std::filesystem::path& folder);

  IPrompts& m_prompts;
  ILogSink& m_log;
  IModuleTestRunner* m_runner = nullptr;
  std::function<void()> m_nodeThresholdHook;
  std::function<bool(const QString&)> m_openFolder;
  std::function<QDateTime()> m_now;
  // Lets queued work find out that the page is gone.
  std::shared_ptr<char> m_alive = std::make_shared<char>();

  TestPaths m_paths;
  bool m_settingsChanged = true;
  LockState m_lock = LockState::Unlocked;
  // The recorded path of each file group: what the next run loads.
  std::array<std::string, kTestFileKinds> m_filePaths;
  int64_t m_currentTestId = 0;
  int64_t m_minTestId = kDefaultMinTestId;
  int32_t m_nextResultIndex = 0;
  TestCounters m_counters;
  TestItems m_items{};
  std::string m_exportedPath;
  // The package text last imported or saved: an unchanged edit imports
  // nothing.
  QString m_packageText;
  // While the controls are filled from the file, the handlers that write it
  // stay quiet.
  bool m_loading = false;
  bool m_running = false;
  TestRunRequest m_runRequest;
  // What a start's preparation (the settings saved, the node limits loaded)
  // logs belongs to the run, which empties the log first: the lines are held
  // while m_holdLines is set and given again after the run's clear.
  std::vector<std::pair<std::string, LogLevel>> m_startLines;
  bool m_holdLines = false;

  // Controls.
  std::array<QCheckBox*, kTestFlagCount> m_tests{};
  std::array<QLineEdit*, kNumericFieldCount> m_numbers{};
  QRadioButton* m_testOnly = nullptr;
  QRadioButton* m_versionCheck = nullptr;
  QRadioButton* m_forceUpdate = nullptr;
  QButtonGroup* m_modeGroup = nullptr;
  QComboBox* m_sensorId = nullptr;
  std::array<QCheckBox*, kTestFileKinds> m_fileBoxes{};
  std::array<CMyEditBrowseCtrl*, kTestFileKinds> m_filePathEdits{};
  CMyEditBrowseCtrl* m_package = nullptr;
  QCheckBox* m_autoTest = nullptr;
  QCheckBox* m_noModification = nullptr;
  QLineEdit* m_testId = nullptr;
  CMyButton* m_start = nullptr;
  CMyButton* m_retest = nullptr;
  CMyButton* m_openReport = nullptr;
  CMyButton* m_nodeThreshold = nullptr;
  CMyButton* m_openFolderButton = nullptr;
  CMyButton* m_export = nullptr;
  CMyButton* m_save = nullptr;
  CMyButton* m_resetStatistics = nullptr;
  std::array<CMyProgressCtrl*, 6> m_bars{};
  std::array<QLabel*, kCounterCount> m_counterLabels{};
  QLabel* m_good = nullptr;
  QLabel* m_yield = nullptr;
};
