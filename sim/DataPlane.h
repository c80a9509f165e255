#pragma once
// The simulated chip's data plane: raw, difference and observe frames at the
// configured addresses and encodings, the coordinate report after the ready
// flag, the stylus report, and the channel-count and resolution registers.
//
// With a data plane the ready flag also rises outside frame streaming (the
// chip then reports touches), and each time it rises it carries the report's
// status byte (bit 7, the touch count, the key bit). Everything the host reads
// belongs to the frame the flag last announced (SimChip::FrameCounter), so
// the values are predictable: RawFrame(n) and the others give what frame n
// holds. The existing fault injection (a silent bridge, a flag that never
// rises) works unchanged.
//
// Thread-safe: the chip's lock covers the hooks; the touch script has its own.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/ChipBehaviour.h"
#include "sim/DataPlaneConfig.h"
#include "sim/PanelSignal.h"
#include "sim/TouchMotion.h"

namespace sim {

class SimChip;

class DataPlane : public ChipBehaviour {
 public:
  explicit DataPlane(DataPlaneConfig config);

  void Attach(SimChip& chip) override;

  const DataPlaneConfig& Config() const { return config_; }

  // Every later report shows exactly these touches (a count over 10 too).
  void ScriptTouches(TouchState state);

  // Changes every later raw frame after the panel made it (a module's
  // faulty nodes and channels); empty removes it.
  using RawFilter = std::function<void(uint64_t frame, std::vector<int32_t>& values)>;
  void SetRawFilter(RawFilter filter);

  // While suspended (the chip runs another program from its memory) the
  // plane's regions read as plain registers.
  void SetSuspended(bool suspended) { suspended_ = suspended; }
  bool Suspended() const { return suspended_; }

  // What frame `frame` holds.
  TouchState Touches(uint64_t frame) const;
  std::vector<int32_t> RawFrame(uint64_t frame) const;
  std::vector<int32_t> DiffFrame(uint64_t frame) const;
  std::vector<int32_t> ObserveFrame(uint64_t frame) const;
  CoordinateReport Report(uint64_t frame) const;
  std::vector<uint8_t> StylusReport(uint64_t frame) const;

 private:
  using Builder = std::vector<uint8_t> (DataPlane::*)(uint64_t) const;
  void InstallRegion(SimChip& chip, uint16_t base, size_t length, Builder build);
  std::vector<uint8_t> RawBytes(uint64_t frame) const;
  std::vector<uint8_t> DiffBytes(uint64_t frame) const;
  std::vector<uint8_t> ObserveBytes(uint64_t frame) const;
  std::vector<uint8_t> ReportTailBytes(uint64_t frame) const;

  const DataPlaneConfig config_;
  const PanelSignal signal_;
  mutable std::mutex scriptMutex_;
  std::optional<TouchState> script_;
  RawFilter rawFilter_;  // under scriptMutex_
  std::atomic<bool> suspended_{false};
};

// Adds a data plane to the chip, which owns it; the reference stays valid
// as long as the chip.
DataPlane& AddDataPlane(SimChip& chip, DataPlaneConfig config);

}  // namespace sim
