#pragma once
// How a module test run reports to the page. Every member is called on the
// test thread; an implementation must not block on the UI thread (the page
// queues the widget updates). Done is called last, before the run's busy
// state ends, so a report or counters written there (Qt-free core code) are
// in place before the next run can start.

#include <string>

#include "device/LogSink.h"
#include "moduletest/engine/RunResult.h"
#include "moduletest/engine/TestItems.h"

class ITestSink {
 public:
  virtual ~ITestSink() = default;

  // The log pane: emptied at the start of a run, then one line at a time.
  virtual void ClearLog() = 0;
  virtual void Log(const std::string& text, LogLevel level) = 0;

  virtual void BarPosition(TestBar bar, int position) = 0;
  virtual void BarColours(TestBar bar, BarColour background, BarColour bar_colour) = 0;
  // One step of the bar (a captured frame).
  virtual void BarStep(TestBar bar) = 0;

  virtual void ItemState(TestItemIndex item, TestItemState state) = 0;
  // The verdict of the run ("OK" or "NG" has been logged).
  virtual void Verdict(bool passed) = 0;
  // After the verdict: the main window refreshes its chip information.
  virtual void RefreshChipInfo() = 0;

  // The run is over. retest: the counters must not count it.
  virtual void Done(const RunResult& result, bool retest) = 0;
};
