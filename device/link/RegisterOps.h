#pragma once
// The program's vocabulary towards the touch chip and the bridge. Each
// operation builds one request, pushes it into the request queue and, except
// the asynchronous ones, waits for it. Failures are returned, never logged:
// 0 for the boolean operations, 0xEE for ReadChipReg8, an empty text for
// GetBridgeVersion, 0xEE bytes in a failed read's buffer.

#include <cstdint>
#include <string>

#include "device/link/HidRequest.h"

class CHidDevice;

// Register of the chip's streaming command.
inline constexpr uint16_t kChipCommandRegister = 0x8040;
// Wait of a plain register access: the bridge answers within a few
// milliseconds, so longer means the link is gone.
inline constexpr uint32_t kRegisterTimeoutMs = 100;
// Value a failed one-byte read yields.
inline constexpr uint8_t kFailedReadByte = 0xEE;

// Queues a read whose callback (null: DefaultRequestDone) gets the result;
// buffer must stay valid until then. Always 0; null device: nothing queued.
uint32_t ReadChipRegsAsync(CHidDevice* device, uint16_t address, uint8_t* buffer, uint32_t length,
                           uint32_t timeout, CHidRequest::Callback callback);
// Queues the write of 0 to the ready flag (g_wSyncFlagAddr). Always 0.
uint32_t ClearSyncFlagAsync();

uint32_t ReadChipRegs(CHidDevice* device, uint16_t address, uint8_t* buffer, uint32_t length,
                      uint32_t timeout);
uint32_t WriteChipRegs(uint16_t address, const uint8_t* buffer, uint32_t length);
// The byte, or 0xEE when there is no device or the read failed.
uint8_t ReadChipReg8(uint16_t address);
uint32_t WriteChipReg8(CHidDevice* device, uint16_t address, uint8_t value);
// Reads the byte up to tries times (no pause); 1 as soon as it equals
// expected. Stops early once the device is gone.
uint32_t PollChipReg8(uint16_t address, uint8_t expected, uint32_t tries);
// Sends the high byte, then the low byte.
uint32_t WriteChipReg16(CHidDevice* device, uint16_t address, uint16_t value);

// mode 1: data frames; any other mode: touch reporting.
uint32_t StartDataStream(uint32_t mode);
// Also clears the ready flag, whatever the stop command's outcome.
uint32_t StopDataStream();
uint32_t ResetTouchChip();

uint32_t OpenDevice();
uint32_t CloseDevice();

// The bridge's firmware version text (UTF-8), empty on failure.
std::string GetBridgeVersion();
uint32_t EnableDigitizer();
uint32_t DisableDigitizer();
uint32_t EnterBridgeUpgradeMode();
