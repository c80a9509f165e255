#pragma once
// One piece of a chip personality (streaming, a configuration handshake, a
// firmware loader, ...). A behaviour installs register hooks on the chip it is
// added to and re-initialises its own volatile state when the chip resets.

namespace sim {

class SimChip;

class ChipBehaviour {
 public:
  virtual ~ChipBehaviour() = default;
  // Called once, when added to the chip (under the chip's lock).
  virtual void Attach(SimChip& chip) = 0;
  // Called after a reset restored the register file's power-on image.
  virtual void OnReset(SimChip& chip) { (void)chip; }
};

}  // namespace sim
