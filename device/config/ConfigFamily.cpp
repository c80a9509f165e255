#include "device/config/ConfigFamily.h"

#include <atomic>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"

namespace {

enum : int { kUnknown = 0, kOther = 1, kDe7 = 2 };
std::atomic<int> g_lastFamily{kUnknown};

}  // namespace

bool ConfigFamilyIsDe7() {
  CHidDevice* device = g_pBridgeDevice.load();
  // The device keeps the product id of the bridge it opened last, even
  // after the bridge was closed or unplugged.
  if (device != nullptr && device->GetAttributes().productId != 0) {
    const bool de7 = device->IsDe7Family();
    g_lastFamily.store(de7 ? kDe7 : kOther);
    return de7;
  }
  return g_lastFamily.load() == kDe7;
}

void ForgetConfigFamily() { g_lastFamily.store(kUnknown); }
