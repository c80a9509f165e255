#pragma once
// The module's interrupt line as the bridge sees it: with the chip in report
// mode (0x8046 = 1, or 0x8041/0x8042 = 00 FF on the DE7 family) a raised
// ready flag makes the chip pull INT, the bridge fetches the report and the
// flag reads 0 again after a few reads. An open line leaves the flag up.

#include <cstdint>

#include "sim/ChipBehaviour.h"
#include "sim/ChipFamily.h"
#include "sim/SimChip.h"

namespace sim {

class IntLine : public ChipBehaviour {
 public:
  IntLine(ChipFamily family, bool open) : family_(family), open_(open) {}
  void Attach(SimChip& chip) override;
  void OnReset(SimChip& chip) override;

  // Reads of the raised flag until the bridge has taken the report.
  static constexpr unsigned kReadsUntilTaken = 3;

 private:
  uint8_t OnFlagRead(SimChip& chip, const ByteAccess& access);
  bool ReportMode(const SimChip& chip) const;

  const ChipFamily family_;
  const bool open_;
  SimChip::ReadHook earlier_;
  unsigned raisedReads_ = 0;  // under the chip's lock
};

}  // namespace sim
