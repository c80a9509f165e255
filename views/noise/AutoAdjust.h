#pragma once
// The auto-adjust's measuring loop (runs on its own worker thread): with the
// chip's hopping off it steps the chip through every frequency index of the
// range, one configuration send per index, and reads one raw frame at each;
// the frames go to the noise view's drawing, which measures them and, after
// the last one, works out the segments. At the end the chip gets its
// configuration back from the backup file, so the run never changes the
// chip by itself. A tuning without its own backup runs nothing.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "views/DataFormat.h"
#include "views/noise/NoiseFrame.h"

class NoiseTuning;

// One raw frame taken at a frequency index, as the worker hands it to the
// drawing.
struct AdjustFrame {
  int index = 0;
  std::vector<uint8_t> bytes;
  DataFormat format;
  size_t nodes = 0;
};

struct AutoAdjustHooks {
  // The run leaves at the top of its next pass once this holds.
  std::function<bool()> stopRequested;
  // Hands a frame to the drawing (waiting at most 100 ms for it); false
  // when the drawing stayed busy and the index goes without a point.
  std::function<bool(AdjustFrame&&)> handOff;
  // An item or send error for the operator; each text once per run.
  std::function<void(const std::string&)> tell;
  // Keep the connection probes off the device from the run's first request
  // to its last (the restore included), since a probe's reads would fall
  // between a send's handshake, the polls and the frame read. Called on the
  // run's thread; the hold may wait for a probe in progress. Every hold is
  // released, whichever way the run ends.
  std::function<void()> holdDevice;
  std::function<void()> releaseDevice;
};

// Tries of the two polls of each pass (the chip's taking of the block, then
// its ready flag).
inline constexpr uint32_t kAdjustPollTries = 50;
inline constexpr uint8_t kAdjustReadyFlag = 0x80;
inline constexpr uint32_t kAdjustReadTimeoutMs = 100;

struct AutoAdjustResult {
  int measured = 0;   // indices whose frame was read
  int handedOff = 0;  // of those, the ones the drawing took
  bool stopped = false;
  bool restored = false;
};

AutoAdjustResult RunAutoAdjust(NoiseTuning& tuning, NoiseRange range, bool dual,
                               const DataFormat& raw, const AutoAdjustHooks& hooks);
