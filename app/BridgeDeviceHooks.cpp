#include "app/BridgeDeviceHooks.h"

#include <algorithm>
#include <chrono>

#include "app/ConnectionLinks.h"
#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "ui/UiBridge.h"

namespace {

// Waits for the event in short slices; false on time-out or once the
// program is closing (a closing window does not wait out a burn's limits).
bool WaitUnlessClosing(platform::Event& event, std::chrono::steady_clock::time_point deadline) {
  constexpr auto kSlice = std::chrono::milliseconds(UiBridge::kWaitSliceMs);
  for (;;) {
    if (g_shuttingDown) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (event.Wait(static_cast<uint32_t>(std::min(left, kSlice).count()))) return true;
  }
}

std::chrono::steady_clock::time_point After(uint32_t ms) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

// The bridge answers again: it arrived and the arrival handling opened it.
bool WaitBridgeBack(ConnectionLinks& links, uint32_t ms) {
  const auto deadline = After(ms);
  while (WaitUnlessClosing(links.BridgeArrived(), deadline)) {
    CHidDevice* device = g_pBridgeDevice.load();
    if (device != nullptr && device->IsConnected()) return true;
    // Woken by an arrival whose open failed: wait for the next one.
    links.BridgeArrived().Reset();
  }
  return false;
}

}  // namespace

void SetBridgeDeviceHooks(UpdateHooks& h, ConnectionLinks& links) {
  ConnectionLinks* l = &links;
  h.programmingPresent = [l] { return l->ProgrammingPresent(); };
  h.resetArrivals = [l] {
    l->BridgeArrived().Reset();
    l->ProgrammingArrived().Reset();
  };
  h.enterUpgradeMode = [] { return EnterBridgeUpgradeMode() != 0; };
  h.waitProgrammingArrived = [l](uint32_t ms) {
    return WaitUnlessClosing(l->ProgrammingArrived(), After(ms));
  };
  h.waitBridgeBack = [l](uint32_t ms) { return WaitBridgeBack(*l, ms); };
  h.bridgeVersion = [] { return GetBridgeVersion(); };
  h.bridgeModelKey = [] {
    CHidDevice* device = g_pBridgeDevice.load();
    return device != nullptr ? device->ModelKey() : uint16_t{0};
  };
  h.bridgeRelease = [] {
    CHidDevice* device = g_pBridgeDevice.load();
    return device != nullptr ? device->GetAttributes().version : uint16_t{0};
  };
  h.bridgeReflashed = [l] { l->RefreshBridgeLamp(); };
}
