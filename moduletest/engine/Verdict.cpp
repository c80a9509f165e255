#include "moduletest/engine/Verdict.h"

namespace {

// A bar shows its item's outcome.
void ColourBar(RunContext& ctx, TestBar bar, bool failed, int position) {
  ctx.sink.BarColours(bar, kBarWhite, failed ? kBarRed : kBarGreen);
  ctx.Bar(bar, position);
}

}  // namespace

bool TestIntAndSensorId(RunContext& ctx) {
  bool passed = true;
  // A data item still ON was selected and never judged: not a pass.
  for (TestItemIndex item : {kItemMaxMin, kItemAdjacent}) {
    if (ctx.Item(item) == TEST_ON) {
      ctx.Log(kDataNotJudgedLine, LOG_ERROR);
      ctx.SetItem(item, TEST_FAIL);
    }
  }
  // The update item counts outside test-only mode; a failed restore fails
  // it whatever the mode radios said.
  const TestItemState update = ctx.Item(kItemUpdate);
  if (update != TEST_OFF && (!ctx.settings.testOnly || update == TEST_FAIL)) {
    const bool failed = update == TEST_FAIL;
    if (failed) passed = false;
    ColourBar(ctx, kBarUpdate, failed, 99);
  }
  for (size_t i = 0; i < kItemBars.size(); ++i) {
    const TestItemState state = ctx.items[i];
    if (state == TEST_OFF) continue;
    const bool failed = state == TEST_FAIL;
    if (failed) passed = false;
    ColourBar(ctx, kItemBars[i], failed, 100);
  }
  if (ctx.Item(kItemInt) != TEST_OFF) {
    if (ctx.Item(kItemInt) == TEST_FAIL) {
      ctx.Log("INT 测试失败", LOG_ERROR);
      passed = false;
    } else {
      ctx.Log("INT 测试通过", LOG_OK);
    }
  }
  if (ctx.Item(kItemSensorId) != TEST_OFF) {
    if (ctx.Item(kItemSensorId) == TEST_FAIL) {
      ctx.Log("SENSOR_ID 测试失败", LOG_ERROR);
      passed = false;
    } else {
      ctx.Log("SENSOR_ID 测试通过", LOG_OK);
    }
  }
  ctx.Log(passed ? "OK" : "NG", passed ? LOG_PASS : LOG_FAIL);
  ctx.sink.Verdict(passed);
  return passed;
}
