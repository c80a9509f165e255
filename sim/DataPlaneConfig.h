#pragma once
// Where the simulated panel puts its data and how it encodes it: the raw,
// difference and observe frames, the coordinate report after the ready flag,
// the stylus report, and the channel-count and resolution registers. The
// family defaults match the chip INI files staged for the simulated chips
// (RO9110V for RU9, RO7387Z for DE7).

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/ChipFamily.h"

namespace sim {

struct FrameFormat {
  uint16_t address = 0;
  int rows = 0;  // values per column (the fast index)
  int cols = 0;
  unsigned valueBytes = 2;  // 1, 2 or 4
  bool isSigned = false;
  bool littleEndian = true;

  size_t Nodes() const { return static_cast<size_t>(rows) * static_cast<size_t>(cols); }
  size_t Bytes() const { return Nodes() * valueBytes; }
};

// Bytes of the coordinate report that starts at the ready flag: the status
// byte, 10 records of 8 bytes and the key byte.
inline constexpr size_t kCoordinateReportBytes = 82;
inline constexpr size_t kMaxReportedPoints = 10;

struct DataPlaneConfig {
  FrameFormat raw;
  FrameFormat diff;
  FrameFormat observe;
  uint16_t syncFlagAddress = 0x814E;

  // The stylus report: `raw.cols` values (the pen's profile along the
  // columns) from its start, then `raw.rows` values from
  // stylusSecondRowOffset; unsigned, stylusValueBytes each.
  uint16_t stylusAddress = 0xC530;
  size_t stylusLength = 144;
  size_t stylusSecondRowOffset = 84;
  unsigned stylusValueBytes = 2;
  bool stylusLittleEndian = true;

  // The channel counts as the chip reports them, and the coordinate range.
  uint16_t channelAddress = 0x8062;
  std::array<uint8_t, 4> channelBytes{};
  uint16_t resolutionAddress = 0x8048;
  uint16_t resolutionX = 1080;
  uint16_t resolutionY = 1920;

  uint32_t seed = 1;  // of the noise

  // RU9: 30 x 42, raw and observe 16-bit, difference 8-bit, flag 0x814E.
  // DE7: 72 x 44, the difference 16-bit signed, flag 0x824E, the observe
  // frame moved clear of the channel counts at 0x81CC.
  static DataPlaneConfig For(ChipFamily family);
};

}  // namespace sim
