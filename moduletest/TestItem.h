#pragma once
// The eight test items of a module test. Every step of a run reports through
// its item's state; the verdict, the counters and the report read the states
// at the end.

#include <array>
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
enum TestItemIndex : int {
  kItemMaxMin = 0,             // "最大值,最小值"
  kItemJitter = 1,             // "抖动测试" (never selected by a run)
  kItemAdjacentDeviation = 2,  // "相邻偏差"
  kItemOffset = 3,             // "相对平均值" (never selected by a run)
  kItemOpenShort = 4,          // "短路检测"
  kItemUpdate = 5,             // firmware and configuration update / version check
  kItemInt = 6,                // "INT测试"
  kItemSensorId = 7,           // "SENSOR_ID测试"
};
inline constexpr int kTestItemCount = 8;

struct TestItem {
  uint32_t state = TEST_OFF;
  // The item's global threshold from the page's edits; the data tests judge
  // against per-node limits instead.
  int32_t threshold = 25;
  uint32_t reserved1 = 0;
  uint32_t reserved2 = 0;
};

using TestItems = std::array<TestItem, kTestItemCount>;

// A data test runs only while its item is still open.
inline bool IsTestDue(uint32_t state) { return (state & (TEST_ON | TEST_UNDECIDED)) != 0; }
