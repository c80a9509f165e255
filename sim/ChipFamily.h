#pragma once
// The two touch-chip families the simulator models and where each keeps its
// identification, sensor id and ready flag.

#include <cstddef>
#include <cstdint>

namespace sim {

enum class ChipFamily { RU9, DE7 };

struct FamilyLayout {
  uint16_t idAddress;  // identification block (id characters + version)
  size_t idLength;     // 6 (RU9) or 8 (DE7)
  uint16_t sensorIdAddress;
  uint16_t syncFlagAddress;  // default ready-flag address
  uint8_t commandIdleValue;  // 0x8040 after power-on and reset
};

const FamilyLayout& LayoutOf(ChipFamily family);

// Registers shared by both families.
inline constexpr uint16_t kCommandRegister = 0x8040;
inline constexpr uint16_t kDe7StreamParam0 = 0x8041;
inline constexpr uint16_t kDe7StreamParam1 = 0x8042;
inline constexpr uint16_t kRawFrameAddress = 0x8B98;
inline constexpr uint16_t kDiffFrameAddress = 0xBB10;
inline constexpr uint16_t kObserveAddress = 0x81C0;

// Ready-flag value once a frame is ready (bit 7).
inline constexpr uint8_t kFlagReady = 0x80;

}  // namespace sim
