#pragma once
// Register reads whose value decides a verdict: 0xEE is a valid byte, so a
// failure must be told apart from it.

#include <cstdint>
#include <optional>
#include <vector>

class CHidDevice;

// The bridge device of the register operations (may be null).
CHidDevice* BridgeDevice();

std::optional<uint8_t> ReadChipReg8Checked(uint16_t address);
// length bytes at address; std::nullopt when the read failed.
std::optional<std::vector<uint8_t>> ReadChipBytes(uint16_t address, uint32_t length,
                                                  uint32_t timeoutMs);
