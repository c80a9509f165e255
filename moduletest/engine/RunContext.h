#pragma once
// What every step of a run works with: the settings snapshot, the sink it
// reports to, the clock of its waits and the item states it judges.

#include <string>

#include "moduletest/engine/RunClock.h"
#include "moduletest/engine/RunSettings.h"
#include "moduletest/engine/TestItems.h"
#include "moduletest/engine/TestSink.h"

struct RunContext {
  const RunSettings& settings;
  ITestSink& sink;
  IRunClock& clock;
  TestItemStates& items;

  TestItemState Item(TestItemIndex item) const { return items[item]; }
  void SetItem(TestItemIndex item, TestItemState state) {
    items[item] = state;
    sink.ItemState(item, state);
  }
  void Log(const std::string& text, LogLevel level) { sink.Log(text, level); }
  void Bar(TestBar bar, int position) { sink.BarPosition(bar, position); }
  void Sleep(uint32_t ms) { clock.SleepMs(ms); }
};
