#include <memory>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "programming/touchfw/DE9vur/C9xxxUpdate.h"
#include "programming/touchfw/FwUpdate.h"
#include "programming/touchfw/ZE73da/C73xxUpdate.h"

std::unique_ptr<CFwUpdate> CreateFwUpdate(FwFamily family, ILogSink* log, IRegisterAccess& access) {
  if (family == FwFamily::ZE73da) return std::make_unique<C73xxUpdate>(access, log);
  return std::make_unique<C9xxxUpdate>(access, log);
}

FwFamily FwFamilyOfConnectedChip() {
  CHidDevice* device = g_pBridgeDevice.load();
  return device != nullptr && device->IsDe7Family() ? FwFamily::ZE73da : FwFamily::DE9vur;
}

std::unique_ptr<CFwUpdate> CreateFwUpdateForConnectedChip(ILogSink* log) {
  return CreateFwUpdate(FwFamilyOfConnectedChip(), log);
}
