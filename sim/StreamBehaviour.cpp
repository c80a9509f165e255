#include "sim/StreamBehaviour.h"

#include "sim/ChipFamily.h"
#include "sim/SimBridge.h"
#include "sim/SimChip.h"

namespace sim {

StreamBehaviour::StreamBehaviour(uint16_t flagAddress, unsigned readsUntilReady, size_t frameBytes,
                                 size_t observeBytes)
    : flagAddress_(flagAddress),
      readsUntilReady_(readsUntilReady == 0 ? 1 : readsUntilReady),
      frameBytes_(frameBytes),
      observeBytes_(observeBytes) {}

void StreamBehaviour::Attach(SimChip& chip) {
  chip.SetWriteHook(kCommandRegister,
                    [this](SimChip& c, const ByteAccess& a) { OnCommandWrite(c, a.cmd, a.value); });
  InstallFlagHooks(chip);
  InstallFrameSource(chip, kRawFrameAddress, frameBytes_);
  InstallFrameSource(chip, kDiffFrameAddress, frameBytes_);
  InstallFrameSource(chip, kObserveAddress, observeBytes_);
}

void StreamBehaviour::OnReset(SimChip& chip) {
  (void)chip;
  streaming_ = false;
  readsSinceClear_ = 0;
  frameCounter_ = 0;
}

void StreamBehaviour::MoveFlag(SimChip& chip, uint16_t address) {
  if (address == flagAddress_) return;
  chip.SetReadHook(flagAddress_, {});
  chip.SetWriteHook(flagAddress_, {});
  flagAddress_ = address;
  readsSinceClear_ = 0;
  InstallFlagHooks(chip);
}

void StreamBehaviour::InstallFlagHooks(SimChip& chip) {
  chip.SetReadHook(flagAddress_, [this](SimChip& c, const ByteAccess&) { return OnFlagRead(c); });
  chip.SetWriteHook(flagAddress_,
                    [this](SimChip& c, const ByteAccess& a) { OnFlagWrite(c, a.value); });
}

void StreamBehaviour::InstallFrameSource(SimChip& chip, uint16_t base, size_t length) {
  if (length == 0) return;
  chip.SetFrameSource(base, length, [this, base](size_t offset, uint8_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      out[i] = SimChip::DefaultFrameByte(base, frameCounter_, offset + i);
    }
  });
}

void StreamBehaviour::OnCommandWrite(SimChip& chip, uint8_t cmd, uint8_t value) {
  chip.Poke(kCommandRegister, value);
  // The stop command stops streaming whatever value it carries.
  if (cmd == kCmdStreamStop || value == 0) {
    streaming_ = false;
  } else if (value == 1) {
    streaming_ = true;
  }
}

uint8_t StreamBehaviour::OnFlagRead(SimChip& chip) {
  uint8_t flag = chip.Peek(flagAddress_);
  const bool rises = streaming_ || static_cast<bool>(reportSource_);
  if (rises && !neverReady_ && flag == 0) {
    if (++readsSinceClear_ >= readsUntilReady_) {
      ++frameCounter_;
      flag = reportSource_ ? static_cast<uint8_t>(reportSource_(frameCounter_) | kFlagReady)
                           : kFlagReady;
      chip.Poke(flagAddress_, flag);
    }
  }
  return flag;
}

void StreamBehaviour::OnFlagWrite(SimChip& chip, uint8_t value) {
  chip.Poke(flagAddress_, value);
  if (value == 0) readsSinceClear_ = 0;
}

}  // namespace sim
