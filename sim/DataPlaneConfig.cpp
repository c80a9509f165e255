#include "sim/DataPlaneConfig.h"

namespace sim {

DataPlaneConfig DataPlaneConfig::For(ChipFamily family) {
  DataPlaneConfig c;
  if (family == ChipFamily::DE7) {
    c.raw = {kRawFrameAddress, 72, 44, 2, false, true};
    c.diff = {0xA600, 72, 44, 2, true, true};
    c.observe = {0xD000, 72, 44, 2, false, true};
    c.syncFlagAddress = LayoutOf(family).syncFlagAddress;
    c.stylusLength = 236;  // 44 values, 4 spare bytes, 72 values
    c.stylusSecondRowOffset = 92;
    // Two halves per axis: 36 + 36 rows, 22 + 22 columns.
    c.channelAddress = 0x81CC;
    c.channelBytes = {36, 22, 36, 22};
    c.resolutionX = 1200;
    c.resolutionY = 1920;
  } else {
    c.raw = {kRawFrameAddress, 30, 42, 2, false, true};
    c.diff = {kDiffFrameAddress, 30, 42, 1, false, true};
    c.observe = {kObserveAddress, 30, 42, 2, false, true};
    c.syncFlagAddress = LayoutOf(family).syncFlagAddress;
    // Driving groups 21 + 21 columns; sensing nibbles 15 + 15 rows.
    c.channelAddress = 0x8062;
    c.channelBytes = {0x15, 0x15, 0xFF, 0x00};
  }
  return c;
}

}  // namespace sim
