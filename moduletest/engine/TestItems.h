#pragma once
// What the run adds to the page's items and bars (moduletest/TestItem.h):
// when a test is due, the bars in their orders and the bar colours.

#include <array>

#include "moduletest/TestItem.h"

// A data test (and INT, SENSOR_ID) runs only while its item is ON or UNDECIDED.
inline bool IsDue(TestItemState state) { return (state & (TEST_ON | TEST_UNDECIDED)) != 0; }

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
