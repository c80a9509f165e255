#pragma once
// What the simulated panel senses, frame by frame, as node values in the
// order the chip stores them (one column after the other, `rows` values
// each):
// - raw: a flat baseline (2000 + 10 x row - 5 x column) with +-3 of noise; a
//   touch lowers a patch of about 5 x 5 nodes by 100..300 with a smooth edge;
// - difference: 0..3 of noise (-3..3 when signed), 60..200 under a touch,
//   and, when signed, about -30 in a ring around it;
// - observe: the baseline, drifting slowly by -4..4;
// - stylus: the pen's profile along the columns and along the rows, a peak of
//   about 800 at its position over 0..5 of noise.
// Values are scaled into 8-bit formats and clipped to the format's range.
// Every value is a pure function of the frame number and the touches, so a
// test can predict the bytes the chip returns.

#include <cstdint>
#include <vector>

#include "sim/DataPlaneConfig.h"
#include "sim/TouchMotion.h"

namespace sim {

class PanelSignal {
 public:
  explicit PanelSignal(const DataPlaneConfig& config) : config_(config) {}

  std::vector<int32_t> RawFrame(uint64_t frame, const TouchState& touches) const;
  std::vector<int32_t> DiffFrame(uint64_t frame, const TouchState& touches) const;
  std::vector<int32_t> ObserveFrame(uint64_t frame) const;
  // raw.cols values, then raw.rows values.
  std::vector<int32_t> StylusProfiles(uint64_t frame) const;
  // The stylus report as the chip holds it (stylusLength bytes).
  std::vector<uint8_t> StylusReport(uint64_t frame) const;

 private:
  enum class Stream : uint32_t { Raw = 1, Diff, Observe, Stylus };
  // lo..hi, spread evenly.
  int32_t Noise(Stream stream, uint64_t frame, size_t node, int32_t lo, int32_t hi) const;
  // 0..1 of each node's coverage by the touches, in node order.
  std::vector<double> Coverage(const FrameFormat& format, const TouchState& touches,
                               double radius) const;

  DataPlaneConfig config_;
};

}  // namespace sim
