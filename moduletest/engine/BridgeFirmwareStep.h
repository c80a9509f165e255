#pragma once
// The bridge box's own firmware in the update modes: the image file held by
// the bridge programmer, the version check against the release number the
// bridge reports, and the burn through the bridge's bootloader (command 14,
// the bootloader's arrival, programming, the bridge's return). The devices'
// comings and goings reach the step through the update sequence's hooks, so
// the same step runs against the simulator in the tests. Without a
// programmer a ticked image fails item 5. Used on the test thread only.

#include <optional>

#include "moduletest/engine/FileStamp.h"
#include "moduletest/engine/RunContext.h"
#include "programming/bridgefw/McuProgrammer.h"
#include "programming/update/UpdateSequence.h"

class BridgeFirmwareStep {
 public:
  // The programmer and the device hooks of the bridge (programmingPresent,
  // resetArrivals, enterUpgradeMode, waitProgrammingArrived, waitBridgeBack,
  // bridgeRelease, and bridgeReflashed when given); set before the first run.
  void Attach(IMcuProgrammer& programmer, UpdateHooks hooks);

  // Loads the ticked image unless it is held as it is on disk.
  void LoadFile(RunContext& ctx);
  // Version check (burns on a mismatch) and the unconditional burn.
  void CheckV64erVersion(RunContext& ctx);
  void BurnV64erFirmware(RunContext& ctx);

 private:
  bool Holds(const std::filesystem::path& path) const;
  // Whether the ticked image is held; otherwise item 5 fails with a line.
  bool Ready(RunContext& ctx);
  bool ReachLoader(RunContext& ctx);
  bool Burn(RunContext& ctx);

  IMcuProgrammer* programmer_ = nullptr;
  UpdateHooks hooks_;
  std::optional<FileStamp> held_;
};
