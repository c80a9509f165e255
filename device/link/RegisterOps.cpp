#include "device/link/RegisterOps.h"

#include <array>

#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/Latin1Text.h"
#include "device/link/RequestQueue.h"
#include "platform/sync/Event.h"

namespace {

constexpr uint32_t kCommandTimeoutMs = 1000;
constexpr uint16_t kDe7StreamParamRegister = 0x8041;
constexpr uint16_t kStreamModeRegister = 0x8046;
constexpr uint16_t kEarlyVersionLimit = 0x108;
constexpr uint32_t kVersionTextBytes = 32;

// A synchronous request whose data (at most the inline area) lives in the
// request itself.
std::shared_ptr<CHidRequest> InlineRequest(uint32_t op, uint16_t address, uint32_t length,
                                           uint32_t command, uint32_t timeout) {
  return CHidRequest::Make(op, address, nullptr, length, command, timeout);
}

uint32_t WriteByteWith(uint32_t command, uint16_t address, uint8_t value, uint32_t timeout) {
  auto request = InlineRequest(HidOpWrite, address, 1, command, timeout);
  request->inlineData[0] = value;
  return PushAndWait(request) ? 1 : 0;
}

uint32_t SendBareCommand(uint32_t command, uint32_t timeout) {
  return PushAndWait(InlineRequest(HidOpWrite, 0, 0, command, timeout)) ? 1 : 0;
}

// The stream parameters the chip family expects before its command register
// is written.
void WriteStreamParameters(CHidDevice* device, bool frames) {
  if (device->IsDe7Family()) {
    WriteChipReg16(device, kDe7StreamParamRegister, frames ? 0x00FF : 0x0000);
  } else {
    WriteChipReg8(device, kStreamModeRegister, frames ? 1 : 0);
  }
}

}  // namespace

uint32_t ReadChipRegsAsync(CHidDevice* device, uint16_t address, uint8_t* buffer, uint32_t length,
                           uint32_t timeout, CHidRequest::Callback callback) {
  if (device == nullptr) return 0;
  GetRequestQueue().PushBack(CHidRequest::Make(HidOpRead, address, buffer, length,
                                               BridgeCmdAsyncRead, timeout, std::move(callback)));
  return 0;
}

uint32_t ClearSyncFlagAsync() {
  if (g_pBridgeDevice.load() == nullptr) return 0;
  auto request =
      InlineRequest(HidOpWrite, g_wSyncFlagAddr.load(), 1, BridgeCmdAsyncWrite, kRegisterTimeoutMs);
  request->inlineData[0] = 0;
  GetRequestQueue().PushBack(std::move(request));
  return 0;
}

uint32_t ReadChipRegs(CHidDevice* device, uint16_t address, uint8_t* buffer, uint32_t length,
                      uint32_t timeout) {
  if (device == nullptr) return 0;
  return PushAndWait(
             CHidRequest::Make(HidOpRead, address, buffer, length, BridgeCmdRegister, timeout))
             ? 1
             : 0;
}

uint32_t WriteChipRegs(uint16_t address, const uint8_t* buffer, uint32_t length) {
  if (g_pBridgeDevice.load() == nullptr) return 0;
  // A write only reads from the buffer; the request's pointer is shared with reads.
  return PushAndWait(CHidRequest::Make(HidOpWrite, address, const_cast<uint8_t*>(buffer), length,
                                       BridgeCmdRegister, platform::kInfinite))
             ? 1
             : 0;
}

uint8_t ReadChipReg8(uint16_t address) {
  if (g_pBridgeDevice.load() == nullptr) return kFailedReadByte;
  auto request = InlineRequest(HidOpRead, address, 1, BridgeCmdRegister, kRegisterTimeoutMs);
  // A failed read has left 0xEE in the byte.
  PushAndWait(request);
  return request->buffer[0];
}

uint32_t WriteChipReg8(CHidDevice* device, uint16_t address, uint8_t value) {
  if (device == nullptr) return 0;
  return WriteByteWith(BridgeCmdRegister, address, value, kRegisterTimeoutMs);
}

uint32_t PollChipReg8(uint16_t address, uint8_t expected, uint32_t tries) {
  CHidDevice* device = g_pBridgeDevice.load();
  if (device == nullptr) return 0;
  auto request = InlineRequest(HidOpRead, address, 1, BridgeCmdRegister, kRegisterTimeoutMs);
  for (uint32_t i = 0; i < tries; ++i) {
    const bool ok = PushAndWait(request);
    if (ok && request->buffer[0] == expected) return 1;
    if (!ok && device->IsGone()) return 0;
  }
  return 0;
}

uint32_t WriteChipReg16(CHidDevice* device, uint16_t address, uint16_t value) {
  if (device == nullptr) return 0;
  auto request = InlineRequest(HidOpWrite, address, 2, BridgeCmdRegister, kRegisterTimeoutMs);
  request->inlineData[0] = static_cast<uint8_t>(value >> 8);
  request->inlineData[1] = static_cast<uint8_t>(value);
  return PushAndWait(request) ? 1 : 0;
}

uint32_t StartDataStream(uint32_t mode) {
  CHidDevice* device = g_pBridgeDevice.load();
  if (device == nullptr) return 0;
  const bool frames = mode == 1;
  WriteStreamParameters(device, frames);
  device->SetStreamMode(frames ? 1 : 0);
  return WriteByteWith(BridgeCmdStreamStart, kChipCommandRegister, frames ? 1 : 0,
                       kCommandTimeoutMs);
}

uint32_t StopDataStream() {
  CHidDevice* device = g_pBridgeDevice.load();
  if (device == nullptr) return 0;
  WriteStreamParameters(device, false);
  const uint32_t stopped =
      WriteByteWith(BridgeCmdStreamStop, kChipCommandRegister, 0, kRegisterTimeoutMs);
  WriteChipReg8(device, g_wSyncFlagAddr.load(), 0);
  device->SetStreamMode(0);
  return stopped;
}

uint32_t ResetTouchChip() {
  return WriteByteWith(BridgeCmdResetChip, kChipCommandRegister, 0, kCommandTimeoutMs);
}

uint32_t OpenDevice() {
  return PushAndWait(InlineRequest(HidOpOpen, 0, 0, BridgeCmdRegister, platform::kInfinite)) ? 1
                                                                                             : 0;
}

uint32_t CloseDevice() {
  return PushAndWait(InlineRequest(HidOpClose, 0, 0, BridgeCmdRegister, platform::kInfinite)) ? 1
                                                                                              : 0;
}

std::string GetBridgeVersion() {
  CHidDevice* device = g_pBridgeDevice.load();
  if (device == nullptr) return {};
  if (GetBridgeModels().IsEarlyPid(device->ModelKey()) &&
      device->GetAttributes().version <= kEarlyVersionLimit && device->IsConnected()) {
    // This model's early firmware is known by its USB description instead.
    return device->Description();
  }
  std::array<uint8_t, kVersionTextBytes> text{};
  if (!PushAndWait(CHidRequest::Make(HidOpRead, 0, text.data(), kVersionTextBytes, BridgeCmdVersion,
                                     kRegisterTimeoutMs))) {
    return {};
  }
  return Latin1ToUtf8(text.data(), text.size());
}

uint32_t EnableDigitizer() { return SendBareCommand(BridgeCmdDigitizerOn, kCommandTimeoutMs); }

uint32_t DisableDigitizer() { return SendBareCommand(BridgeCmdDigitizerOff, kCommandTimeoutMs); }

uint32_t EnterBridgeUpgradeMode() {
  return SendBareCommand(BridgeCmdUpgradeMode, platform::kInfinite);
}
