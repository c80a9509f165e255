#pragma once
// The DE7 family's own open/short test: 0x8042 = 0xC0 and 0x8040 = 0x40
// enter it (0x804A reads 0x01); the 232-byte block at 0x8118 with 0x8042 =
// 0xBF and 0x8040 = 0x41 starts it when its word checksum holds (0x804A
// 0x40, then 0x43 after a few reads, with the findings at 0x8AC0); 0xAA to
// 0x8040 ends it and the chip's configuration registers, overwritten by the
// block, come back from its stored configuration.

#include <cstdint>
#include <vector>

#include "sim/ChipBehaviour.h"
#include "sim/SimChip.h"
#include "sim/module/ModuleProfile.h"

namespace sim {

class ConfigBehaviour;

class ShortEngineB : public ChipBehaviour {
 public:
  ShortEngineB(std::vector<ShortFindingB> findings, bool neverFinishes, ConfigBehaviour* config)
      : findings_(std::move(findings)), neverFinishes_(neverFinishes), config_(config) {}
  void Attach(SimChip& chip) override;
  void OnReset(SimChip& chip) override;

  // Reads of 0x804A between the start and the finish.
  static constexpr unsigned kReadsUntilFinished = 5;

 private:
  enum class State { Idle, Entered, Running, Finished };
  void OnCommand(SimChip& chip, const ByteAccess& access);
  uint8_t OnStateRead(SimChip& chip, const ByteAccess& access);
  void Finish(SimChip& chip);

  const std::vector<ShortFindingB> findings_;
  const bool neverFinishes_;
  ConfigBehaviour* const config_;
  SimChip::WriteHook earlierCommand_;
  State state_ = State::Idle;  // under the chip's lock
  unsigned reads_ = 0;
};

}  // namespace sim
