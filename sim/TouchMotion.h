#pragma once
// The fingers on the simulated panel and the coordinate report the chip
// writes for them after its ready flag:
//   byte 0          status: bit 7 ready, bits 0-3 touch count, bit 4 key data
//   1 + 8i          point i: contact id (bits 0-6)
//   2 + 8i, 4 + 8i  x, y (low byte first)
//   6 + 8i          size (low byte first)
//   8 + 8i          reserved
//   1 + 8n          key bits (low nibble) after the n reported points
// At most 10 points fit; a larger count still shows in the count nibble (up
// to 15), and the key byte then takes the last byte of the report.

#include <array>
#include <cstdint>
#include <vector>

#include "sim/DataPlaneConfig.h"

namespace sim {

struct Contact {
  uint8_t id = 0;
  uint16_t x = 0;  // chip coordinates, 0..resolution
  uint16_t y = 0;
  uint16_t size = 0;
  bool operator==(const Contact&) const = default;
};

struct TouchState {
  std::vector<Contact> contacts;
  uint8_t keys = 0;  // bits 0-3: keys 0..3 pressed
  bool operator==(const TouchState&) const = default;
};

// The unscripted panel in frame `frame`: contact 1 circles the centre,
// contact 4 sweeps across and back, contact 6 moves diagonally and lifts off
// for part of every cycle; a key is pressed now and then. Sizes 20..60.
TouchState AutomaticTouches(const DataPlaneConfig& config, uint64_t frame);

using CoordinateReport = std::array<uint8_t, kCoordinateReportBytes>;
CoordinateReport BuildCoordinateReport(const TouchState& state);

}  // namespace sim
