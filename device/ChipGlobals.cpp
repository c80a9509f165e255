#include "device/ChipGlobals.h"

#include <mutex>

std::atomic<CHidDevice*> g_pBridgeDevice{nullptr};
std::atomic<CHidDevice*> g_pTouchHidDevice{nullptr};
std::atomic<uint16_t> g_wSyncFlagAddr{kDefaultSyncFlagAddr};
std::atomic<bool> g_bDigitizerDisabled{false};

namespace {
std::mutex g_chipTextMutex;
std::string g_chipName;
}  // namespace

std::string GetChipName() {
  std::lock_guard lock(g_chipTextMutex);
  return g_chipName;
}

void SetChipName(std::string name) {
  std::lock_guard lock(g_chipTextMutex);
  g_chipName = std::move(name);
}
