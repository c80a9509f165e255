#pragma once
// USB vendor ids of the bridge boxes this tool drives, and of the chip
// programmer's bootloader. The lists differ on purpose: not every bridge
// vendor ships a digitizer interface worth hiding from the desktop.

#include <algorithm>
#include <array>
#include <cstdint>

namespace platform {

// Vendors whose interface 1 is a bridge command interface.
inline constexpr std::array<uint16_t, 5> kBridgeVendorIds = {0x27C0, 0x222A, 0x256C, 0x1B96,
                                                             0x056A};
// Vendors whose interface 0 is a touch digitizer that competes with the tool.
inline constexpr std::array<uint16_t, 4> kDigitizerVendorIds = {0x27C0, 0x222A, 0x1B96, 0x056A};
// Vendor of the USB bootloader that flashes the bridge's microcontroller.
inline constexpr uint16_t kProgrammerVendorId = 0x4348;

inline bool IsBridgeVendor(uint16_t vendorId) {
  return std::find(kBridgeVendorIds.begin(), kBridgeVendorIds.end(), vendorId) !=
         kBridgeVendorIds.end();
}

inline bool IsDigitizerVendor(uint16_t vendorId) {
  return std::find(kDigitizerVendorIds.begin(), kDigitizerVendorIds.end(), vendorId) !=
         kDigitizerVendorIds.end();
}

}  // namespace platform
