#pragma once
// The bridge and its bootloader as a burn of the bridge's firmware sees them
// in the program: the window's arrival events, command 14, the bridge's
// version and release, its lamp after a reflash. The update panel's runs and
// the module test's bridge step take the same hooks. The waits give up once
// the program is closing.

#include "programming/update/UpdateSequence.h"

class ConnectionLinks;

// Fills the bridge's hooks of `hooks` (programmingPresent, resetArrivals,
// enterUpgradeMode, waitProgrammingArrived, waitBridgeBack, bridgeVersion,
// bridgeModelKey, bridgeRelease, bridgeReflashed). `links` outlives every
// run that uses them.
void SetBridgeDeviceHooks(UpdateHooks& hooks, ConnectionLinks& links);
