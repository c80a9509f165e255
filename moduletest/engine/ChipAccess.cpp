#include "moduletest/engine/ChipAccess.h"

#include "device/ChipGlobals.h"
#include "device/link/RegisterOps.h"

CHidDevice* BridgeDevice() { return g_pBridgeDevice.load(); }

std::optional<uint8_t> ReadChipReg8Checked(uint16_t address) {
  uint8_t value = 0;
  if (ReadChipRegs(BridgeDevice(), address, &value, 1, kRegisterTimeoutMs) == 0) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::vector<uint8_t>> ReadChipBytes(uint16_t address, uint32_t length,
                                                  uint32_t timeoutMs) {
  std::vector<uint8_t> bytes(length);
  if (length == 0) return bytes;
  if (ReadChipRegs(BridgeDevice(), address, bytes.data(), length, timeoutMs) == 0) {
    return std::nullopt;
  }
  return bytes;
}
