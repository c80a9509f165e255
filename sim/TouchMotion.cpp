#include "sim/TouchMotion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/ChipFamily.h"
#include "sim/ValueEncoding.h"

namespace sim {

namespace {

constexpr uint8_t kStatusKey = 0x10;
constexpr size_t kMaxCountNibble = 15;
constexpr size_t kRecordBytes = 8;

uint16_t Coordinate(double fraction, uint16_t range) {
  return static_cast<uint16_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * range));
}

// 0 -> 1 -> 0 over `period` frames.
double PingPong(uint64_t frame, uint64_t period) {
  const double t = static_cast<double>(frame % period) / static_cast<double>(period);
  return t < 0.5 ? 2 * t : 2 - 2 * t;
}

uint16_t SizeAt(uint64_t frame, uint64_t period) {
  return static_cast<uint16_t>(20 + std::lround(40 * PingPong(frame, period)));
}

}  // namespace

TouchState AutomaticTouches(const DataPlaneConfig& config, uint64_t frame) {
  const uint16_t rx = config.resolutionX;
  const uint16_t ry = config.resolutionY;
  TouchState state;

  const double angle = 2 * std::numbers::pi * static_cast<double>(frame % 360) / 360.0;
  state.contacts.push_back({1, Coordinate(0.5 + 0.3 * std::cos(angle), rx),
                            Coordinate(0.5 + 0.3 * std::sin(angle), ry), SizeAt(frame, 270)});

  state.contacts.push_back({4, Coordinate(0.1 + 0.8 * PingPong(frame, 480), rx),
                            Coordinate(0.8, ry), SizeAt(frame + 30, 210)});

  // Down for 200 frames of every 300, then lifted.
  const uint64_t phase = frame % 300;
  if (phase < 200) {
    const double t = static_cast<double>(phase) / 200.0;
    state.contacts.push_back(
        {6, Coordinate(0.15 + 0.5 * t, rx), Coordinate(0.1 + 0.5 * t, ry), SizeAt(frame, 150)});
  }

  // A 60-frame press of one of the four keys in every 400 frames.
  if (frame % 400 >= 340) state.keys = static_cast<uint8_t>(1u << ((frame / 400) % 4));
  return state;
}

CoordinateReport BuildCoordinateReport(const TouchState& state) {
  CoordinateReport report{};
  const size_t count = std::min(state.contacts.size(), kMaxCountNibble);
  const size_t records = std::min(count, kMaxReportedPoints);
  report[0] = static_cast<uint8_t>(kFlagReady | count | (state.keys != 0 ? kStatusKey : 0));
  for (size_t i = 0; i < records; ++i) {
    const Contact& c = state.contacts[i];
    uint8_t* rec = report.data() + 1 + kRecordBytes * i;
    rec[0] = c.id & 0x7F;
    EncodeValue(c.x, 2, true, rec + 1);
    EncodeValue(c.y, 2, true, rec + 3);
    EncodeValue(c.size, 2, true, rec + 5);
  }
  if (state.keys != 0) report[1 + kRecordBytes * records] = state.keys & 0x0F;
  return report;
}

}  // namespace sim
