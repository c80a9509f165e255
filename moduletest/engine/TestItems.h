#pragma once
// The eight test items through which every step of a module test reports,
// and the progress bars the page shows for them. A step never ends a run: it
// only changes its item's state, and the verdict reads the states at the end.

#include <array>
#include <cstddef>
#include <cstdint>

// One bit each, so that a mask tells whether a data test is due.
enum TestItemState : uint32_t {
  TEST_OFF = 1,        // not selected
  TEST_ON = 2,         // selected, not yet judged
  TEST_UNDECIDED = 4,  // judged, share between the pass and fail bounds
  TEST_PASS = 8,
  TEST_FAIL = 16,
};

enum TestItemIndex : size_t {
  kItemMaxMin = 0,
  kItemJitter = 1,
  kItemAdjacent = 2,
  kItemOffset = 3,
  kItemOpenShort = 4,
  kItemUpdate = 5,
  kItemInt = 6,
  kItemSensorId = 7,
};
inline constexpr size_t kTestItemCount = 8;

using TestItemStates = std::array<TestItemState, kTestItemCount>;

// A data test (and INT, SENSOR_ID) runs only while its item is ON or UNDECIDED.
inline bool IsDue(TestItemState state) { return (state & (TEST_ON | TEST_UNDECIDED)) != 0; }

// The page's progress bars (their control ids).
enum TestBar : int {
  kBarMaxMin = 1086,
  kBarJitter = 1087,
  kBarAdjacent = 1088,
  kBarOffset = 1102,
  kBarOpenShort = 1089,
  kBarUpdate = 1101,
};
inline constexpr std::array<TestBar, 6> kAllTestBars = {kBarUpdate,   kBarMaxMin, kBarJitter,
                                                        kBarAdjacent, kBarOffset, kBarOpenShort};
// Bars of items 0..4, in item order.
inline constexpr std::array<TestBar, 5> kItemBars = {kBarMaxMin, kBarJitter, kBarAdjacent,
                                                     kBarOffset, kBarOpenShort};

// Bar colours as 0x00BBGGRR values, as the page's settings and skins name them.
enum BarColour : uint32_t {
  kBarBlue = 0xFF0000,
  kBarGreen = 0x00FF00,
  kBarRed = 0x0000FF,
  kBarWhite = 0xFFFFFF,
};
