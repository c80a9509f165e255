#pragma once
// The eight test items of a module test. Every step of a run reports through
// its item's state; the verdict, the counters and the report read the states
// at the end.

#include <array>
#include <cstddef>
#include <cstdint>

// One bit per state, so that one mask tells whether a data test is due.
enum TestItemState : uint32_t {
  TEST_OFF = 1,        // not selected
  TEST_ON = 2,         // selected, not yet judged
  TEST_UNDECIDED = 4,  // judged, between the pass and fail bounds (counts as passed)
  TEST_PASS = 8,
  TEST_FAIL = 16,
};

// Index of each item in the page's table.
enum TestItemIndex : size_t {
  kItemMaxMin = 0,     // "最大值,最小值"
  kItemJitter = 1,     // "抖动测试" (never selected by a run)
  kItemAdjacent = 2,   // "相邻偏差"
  kItemOffset = 3,     // "相对平均值" (never selected by a run)
  kItemOpenShort = 4,  // "短路检测"
  kItemUpdate = 5,     // firmware and configuration update / version check
  kItemInt = 6,        // "INT测试"
  kItemSensorId = 7,   // "SENSOR_ID测试"
};
inline constexpr size_t kTestItemCount = 8;

struct TestItem {
  uint32_t state = TEST_OFF;
  // The item's global threshold from the page's edits; the data tests judge
  // against per-node limits instead.
  int32_t threshold = 25;
  uint32_t reserved1 = 0;
  uint32_t reserved2 = 0;
};

using TestItems = std::array<TestItem, kTestItemCount>;
// What a run hands back: the state of each item.
using TestItemStates = std::array<TestItemState, kTestItemCount>;
inline constexpr TestItemStates AllItemsOff() {
  TestItemStates states{};
  states.fill(TEST_OFF);
  return states;
}

// The page's progress bars (their control ids).
enum TestBar : int {
  kBarMaxMin = 1086,
  kBarJitter = 1087,
  kBarAdjacent = 1088,
  kBarOffset = 1102,
  kBarOpenShort = 1089,
  kBarUpdate = 1101,
};
