#pragma once
// The open/short program of the 0x8047 family as the chip runs it: held
// (0x4180 = 0x0C), its image written to 0xC000 and started (0x4180 = 0x08)
// it raises 0x5095 to 0xAA; the host hands over the 79-byte parameter block
// at 0x8804 and writes 0x04 to 0x5095; a block whose checksum holds gives
// 0x8800 = 0x88 with the status, the counts and the records, made from the
// target resistances by inverting the host's formulas. A bad checksum never
// finishes, so a malformed block shows. A chip reset ends the program.

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/ChipBehaviour.h"
#include "sim/DataPlane.h"
#include "sim/SimChip.h"
#include "sim/module/ModuleProfile.h"

namespace sim {

class ShortEngineA : public ChipBehaviour {
 public:
  // plane: the data plane whose regions the program's memory overlaps (may
  // be null); a held chip produces no data. header: reported in place of the
  // findings' own.
  ShortEngineA(std::vector<ShortTarget> shorts, bool neverFinishes, DataPlane* plane,
               std::optional<ShortHeaderA> header = std::nullopt)
      : shorts_(std::move(shorts)), neverFinishes_(neverFinishes), plane_(plane), header_(header) {}
  void Attach(SimChip& chip) override;
  void OnReset(SimChip& chip) override;

  // The base value of every record.
  static constexpr uint16_t kBase = 10000;

 private:
  void Start(SimChip& chip);
  void WriteResults(SimChip& chip);

  const std::vector<ShortTarget> shorts_;
  const bool neverFinishes_;
  DataPlane* const plane_;
  const std::optional<ShortHeaderA> header_;
  bool imageWritten_ = false;  // under the chip's lock
};

}  // namespace sim
