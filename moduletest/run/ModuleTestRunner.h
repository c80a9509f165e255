#pragma once
// Where the test page hands a run over and how the run's results come back.
// The page validates the settings, takes a copy of them and of the Test ID
// and calls StartRun; the runner works on its own thread and reports through
// ITestRunEvents, from any thread. The page keeps the counters, writes the
// report and releases the Test ID field when OnRunDone arrives.
//
// Qt-free on purpose: the test engine implements IModuleTestRunner in the
// core, and the page adapts the events to the UI thread.

#include <cstdint>
#include <string>

#include "device/LogSink.h"
#include "moduletest/TestItem.h"
#include "moduletest/report/TestReport.h"
#include "moduletest/settings/TestSettings.h"

struct TestRunRequest {
  TestSettings settings;  // as the page held them at the start
  int64_t testId = 0;     // 0: the report is named by index
  bool retest = false;    // counted in no counter
};

struct TestRunOutcome {
  TestItemStates items = AllItemsOff();
  bool passed = false;
  // The production configuration's block when loaded, else the chip's own
  // block when its backup is valid, else empty.
  std::vector<uint8_t> chipConfig;
  TestMeasurements measurements;
};

class ITestRunEvents {
 public:
  virtual ~ITestRunEvents() = default;
  // A run starts: the log pane is emptied before its first line.
  virtual void OnRunClearLog() = 0;
  virtual void OnRunLog(const std::string& text, LogLevel level) = 0;
  virtual void OnRunProgress(TestBar bar, int position) = 0;
  // One step of the bar by the page's own step (a captured frame).
  virtual void OnRunBarStep(TestBar bar) = 0;
  // 0x00RRGGBB.
  virtual void OnRunBarColour(TestBar bar, uint32_t rgb) = 0;
  virtual void OnRunItemState(TestItemIndex item, TestItemState state) = 0;
  // After the verdict: the chip information shown by the main window is
  // read again (a run may have changed firmware or configuration).
  virtual void OnRunChipInfoChanged() = 0;
  // Exactly once per started run, last.
  virtual void OnRunDone(const TestRunOutcome& outcome) = 0;
};

class IModuleTestRunner {
 public:
  virtual ~IModuleTestRunner() = default;
  // Starts one run; events go to `events` until OnRunDone. false when the
  // run cannot start (then no event follows).
  virtual bool StartRun(const TestRunRequest& request, ITestRunEvents& events) = 0;
};
