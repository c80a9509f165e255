#pragma once
// One module test run from the operator's start to "OK" or "NG", without
// widgets: it takes a settings snapshot, drives the chip through the
// register operations and reports through an ITestSink. The steps:
//   1 preparation (items from the settings, data page stopped, files loaded)
//   2 forced upgrade / 3 version check (update modes only)
//   4 backup of the chip's configuration, 5 test configuration download
//   6 panel geometry, 7 capture and data tests, 8 INT, 9 SENSOR_ID
//   10 restore of the production configuration, 11 open/short, 12 verdict
// A step never ends the run; it changes its item's state, and the verdict
// reads them. Used on the test thread only (see TestThread).

#include <utility>

#include "device/StreamControl.h"
#include "moduletest/engine/BridgeFirmwareStep.h"
#include "moduletest/engine/RunClock.h"
#include "moduletest/engine/RunResult.h"
#include "moduletest/engine/RunSettings.h"
#include "moduletest/engine/TestConfigSession.h"
#include "moduletest/engine/TestSink.h"
#include "moduletest/engine/TouchFirmwareStep.h"

class ModuleTestEngine {
 public:
  ModuleTestEngine(ITestSink& sink, IRunClock& clock);

  RunResult RunModuleTest(const RunSettings& settings);

  // The sampling tools' preparation: steps 1 to 6 without bar positions
  // (the test configuration stays active until CheckConfigMatch).
  void UpdateFirmwareWithBackup(const RunSettings& settings);
  // Whether the raw frame format followed the panel read by the last
  // preparation: frames taken otherwise have another panel's size.
  bool RawFollowsPanel() const { return rawFollowsPanel_; }
  // Step 10 without the bar: the production configuration back into the chip.
  void CheckConfigMatch(const RunSettings& settings);

  bool TestConfigActive() const { return configs_.TestConfigActive(); }

  // The bridge programmer and the bridge's device hooks for the bridge
  // firmware step; before the first run.
  void AttachBridgeProgrammer(IMcuProgrammer& programmer, UpdateHooks hooks) {
    bridge_.Attach(programmer, std::move(hooks));
  }

 private:
  void PrepareTest(RunContext& ctx, bool withBars);
  // The bar positions of the three file steps of an update mode.
  struct UpdateBars {
    int bridge;
    int touch;
    int config;
  };
  // Forced upgrade or version check of the bridge firmware, the touch
  // firmware and the production configuration.
  void UpdateSteps(RunContext& ctx, bool withBars, const UpdateBars& bars,
                   void (BridgeFirmwareStep::*bridgeStep)(RunContext&),
                   void (TouchFirmwareStep::*firmwareStep)(RunContext&),
                   void (TestConfigSession::*configStep)(RunContext&));
  void PreparationSteps(RunContext& ctx, bool withBars);
  void RestoreStep(RunContext& ctx, bool withBar);
  // The panel's rows and columns into the data formats; false when the raw
  // format could not follow the panel (it still holds the previous one).
  static bool AdoptGeometry(RunContext& ctx);

  ITestSink& sink_;
  IRunClock& clock_;
  TestConfigSession configs_;
  BridgeFirmwareStep bridge_;
  TouchFirmwareStep firmware_;
  int pageBefore_ = PAGE_TEST;
  int family_ = -1;              // last seen: 1 DE7, 0 other, -1 none yet
  bool rawFollowsPanel_ = true;  // of the last preparation
};
