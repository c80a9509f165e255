#include "programming/touchfw/RegisterAccess.h"

#include <chrono>
#include <thread>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"

namespace {

class CSystemClock final : public IClock {
 public:
  void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace

IClock& SystemClock() {
  static CSystemClock clock;
  return clock;
}

uint8_t IRegisterAccess::Read8(uint16_t address) {
  uint8_t value = 0;
  return TryRead8(address, value) ? value : kFailedRead;
}

bool IRegisterAccess::Poll8(uint16_t address, uint8_t expected, uint32_t tries) {
  IClock& clock = Clock();
  const int64_t start = clock.NowMs();
  const int64_t floorMs = PollFloorMs(tries);
  int timeoutsInRow = 0;
  for (uint32_t reads = 1;; ++reads) {
    uint8_t value = 0;
    if (TryRead8(address, value)) {
      if (value == expected) return true;
      timeoutsInRow = 0;
    } else if (IsGone() || ++timeoutsInRow >= kPollMaxTimeoutsInRow) {
      return false;
    }
    if (reads >= tries && clock.NowMs() - start >= floorMs) return false;
  }
}

bool CQueueRegisterAccess::ReadRegs(uint16_t address, std::span<uint8_t> out, uint32_t timeoutMs) {
  return ReadChipRegs(g_pBridgeDevice.load(), address, out.data(),
                      static_cast<uint32_t>(out.size()), timeoutMs) == 1;
}

bool CQueueRegisterAccess::WriteRegs(uint16_t address, std::span<const uint8_t> data) {
  return WriteChipRegs(address, data.data(), static_cast<uint32_t>(data.size())) == 1;
}

bool CQueueRegisterAccess::TryRead8(uint16_t address, uint8_t& value) {
  // The same one-byte read as ReadChipReg8, with its outcome kept apart from
  // the value (0xEE is also a byte a chip can hold).
  uint8_t byte = 0;
  if (ReadChipRegs(g_pBridgeDevice.load(), address, &byte, 1, kByteTimeoutMs) != 1) return false;
  value = byte;
  return true;
}

bool CQueueRegisterAccess::Write8(uint16_t address, uint8_t value) {
  return WriteChipReg8(g_pBridgeDevice.load(), address, value) == 1;
}

bool CQueueRegisterAccess::Write16(uint16_t address, uint16_t value) {
  return WriteChipReg16(g_pBridgeDevice.load(), address, value) == 1;
}

bool CQueueRegisterAccess::ResetChip() { return ResetTouchChip() == 1; }

bool CQueueRegisterAccess::StartStream(uint32_t mode) { return StartDataStream(mode) == 1; }

bool CQueueRegisterAccess::IsGone() {
  CHidDevice* device = g_pBridgeDevice.load();
  return device == nullptr || device->IsGone();
}

IRegisterAccess& QueueRegisterAccess() {
  static CQueueRegisterAccess access;
  return access;
}
