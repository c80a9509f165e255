#include "sim/module/IntLine.h"

namespace sim {

void IntLine::Attach(SimChip& chip) {
  earlier_ = chip.SetReadHook(chip.SyncFlagAddress(),
                              [this](SimChip& c, const ByteAccess& a) { return OnFlagRead(c, a); });
}

void IntLine::OnReset(SimChip& chip) {
  (void)chip;
  raisedReads_ = 0;
}

bool IntLine::ReportMode(const SimChip& chip) const {
  if (family_ == ChipFamily::DE7) return chip.Peek(kDe7StreamParam1) == 0xFF;
  return chip.Peek(0x8046) == 1;
}

uint8_t IntLine::OnFlagRead(SimChip& chip, const ByteAccess& access) {
  const uint8_t value = earlier_ ? earlier_(chip, access) : chip.Peek(access.address);
  if (value != kFlagReady || open_ || !ReportMode(chip)) {
    raisedReads_ = 0;
    return value;
  }
  if (++raisedReads_ < kReadsUntilTaken) return value;
  raisedReads_ = 0;
  chip.Poke(access.address, 0);
  return 0;
}

}  // namespace sim
