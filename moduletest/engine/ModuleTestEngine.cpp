#include "moduletest/engine/ModuleTestEngine.h"

#include <string>

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/chip/PanelGeometry.h"
#include "device/link/RegisterOps.h"
#include "moduletest/engine/ChipAccess.h"
#include "moduletest/engine/DataStep.h"
#include "moduletest/engine/FrameCapture.h"
#include "moduletest/engine/IntSensorTests.h"
#include "moduletest/engine/ShortTestA.h"
#include "moduletest/engine/ShortTestB.h"
#include "moduletest/engine/Verdict.h"
#include "views/DataFormatStore.h"

namespace {

// Waits of the run: the chip settles after a configuration change, and
// after the data stream stops.
constexpr uint32_t kAfterConfigMs = 40;
constexpr uint32_t kAfterDataMs = 25;

bool IsDe7Bridge() {
  CHidDevice* device = BridgeDevice();
  return device != nullptr && device->IsDe7Family();
}

TestItemState OnIf(bool ticked) { return ticked ? TEST_ON : TEST_OFF; }

}  // namespace

ModuleTestEngine::ModuleTestEngine(ITestSink& sink, IRunClock& clock)
    : sink_(sink), clock_(clock), configs_(clock), firmware_(sink, clock) {}

void ModuleTestEngine::PrepareTest(RunContext& ctx, bool withBars) {
  sink_.ClearLog();
  IStreamControl& pages = StreamControl();
  pageBefore_ = pages.CurrentPage();
  if (pageBefore_ != PAGE_TEST) {
    pages.MarkPageStopped(pageBefore_);
    StopDataStream();
  }
  const int family = IsDe7Bridge() ? 1 : 0;
  if (family != family_) {
    if (family_ >= 0) configs_.ResetFiles();
    family_ = family;
  }

  const RunSettings& s = ctx.settings;
  ctx.SetItem(kItemMaxMin, OnIf(s.maxMinTest));
  ctx.SetItem(kItemJitter, TEST_OFF);
  ctx.SetItem(kItemAdjacent, OnIf(s.adjacentTest));
  ctx.SetItem(kItemOffset, TEST_OFF);
  ctx.SetItem(kItemOpenShort, OnIf(s.openShortTest));
  ctx.SetItem(kItemUpdate, OnIf(s.versionCheck || s.forceUpdate));
  ctx.SetItem(kItemInt, OnIf(s.intTest));
  ctx.SetItem(kItemSensorId, OnIf(s.sensorIdTest));

  if (withBars) {
    for (TestBar bar : kAllTestBars) {
      sink_.BarColours(bar, kBarWhite, kBarBlue);
      sink_.BarPosition(bar, 0);
    }
  }
  bridge_.LoadFile(ctx);
  firmware_.UseFamily(FwFamilyOfConnectedChip());
  firmware_.LoadFile(ctx);
  configs_.LoadFiles(ctx);
}

void ModuleTestEngine::UpdateSteps(RunContext& ctx, bool withBars, const UpdateBars& bars,
                                   void (BridgeFirmwareStep::*bridgeStep)(RunContext&),
                                   void (TouchFirmwareStep::*firmwareStep)(RunContext&),
                                   void (TestConfigSession::*configStep)(RunContext&)) {
  if (withBars) ctx.Bar(kBarUpdate, bars.bridge);
  (bridge_.*bridgeStep)(ctx);
  if (withBars) ctx.Bar(kBarUpdate, bars.touch);
  (firmware_.*firmwareStep)(ctx);
  if (withBars) ctx.Bar(kBarUpdate, bars.config);
  (configs_.*configStep)(ctx);
}

bool ModuleTestEngine::AdoptGeometry(RunContext& ctx) {
  ReadPanelGeometry();
  const PanelGeometry panel = GetPanelGeometry();
  std::string error;
  if (!GetDataFormatStore().AdoptPanelGeometry(panel, &error)) {
    ctx.Log(error, LOG_ERROR);
  }
  // A refused format keeps the previous panel's rows and columns.
  const DataFormat raw = GetDataFormatStore().Format(DataKind::Raw);
  const auto follows = [](uint32_t panelCount, int32_t formatCount) {
    return panelCount == 0 || static_cast<int64_t>(panelCount) == formatCount;
  };
  return follows(panel.rawRows, raw.rows) && follows(panel.rawColumns, raw.cols);
}

void ModuleTestEngine::PreparationSteps(RunContext& ctx, bool withBars) {
  PrepareTest(ctx, withBars);
  const RunSettings& s = ctx.settings;
  if (!s.testOnly && s.forceUpdate) {
    UpdateSteps(ctx, withBars, {10, 30, 40}, &BridgeFirmwareStep::BurnV64erFirmware,
                &TouchFirmwareStep::UpgradeTouchFirmware, &TestConfigSession::UpgradeTouchConfig);
  }
  if (!s.testOnly && ctx.Item(kItemUpdate) != TEST_OFF) {
    UpdateSteps(ctx, withBars, {55, 70, 80}, &BridgeFirmwareStep::CheckV64erVersion,
                &TouchFirmwareStep::CheckTouchFwVersion, &TestConfigSession::CheckTouchConfig);
  }
  configs_.Backup(ctx);
  if (!s.testOnly) configs_.DownloadTestConfig(ctx);
  ctx.Sleep(kAfterConfigMs);
  rawFollowsPanel_ = AdoptGeometry(ctx);
}

void ModuleTestEngine::RestoreStep(RunContext& ctx, bool withBar) {
  const bool partRestore = ctx.Item(kItemUpdate) != TEST_OFF && !ctx.settings.testOnly;
  if (!partRestore && !configs_.TestConfigActive()) return;
  if (partRestore && withBar) ctx.Bar(kBarUpdate, 95);
  configs_.Restore(ctx);
}

RunResult ModuleTestEngine::RunModuleTest(const RunSettings& settings) {
  RunResult result;
  result.testOnly = settings.testOnly;
  RunContext ctx{settings, sink_, clock_, result.items};
  ClearCaptureArrays();

  PreparationSteps(ctx, true);

  if (ctx.Item(kItemMaxMin) == TEST_ON || ctx.Item(kItemAdjacent) == TEST_ON) {
    // Frames of another panel's size are no measurement of this module.
    if (rawFollowsPanel_) {
      RunDataTests(ctx, GetDataFormatStore().Format(DataKind::Raw), result);
    } else {
      FailDataTests(ctx);
    }
  }
  ctx.Sleep(kAfterDataMs);

  if (IsDue(ctx.Item(kItemInt))) TestInt(ctx);
  if (IsDue(ctx.Item(kItemSensorId))) TestSensorId(ctx);

  RestoreStep(ctx, true);

  if (ctx.Item(kItemOpenShort) != TEST_OFF) {
    ctx.Log("[ShorTest]短路测试", LOG_BUSY);
    if (IsDe7Bridge()) {
      StopDataStream();
      RunShortTestB(ctx, configs_.ValidBackup());
    } else {
      RunShortTest(ctx, configs_.ValidBackup());
    }
  }

  result.passed = TestIntAndSensorId(ctx);
  result.chipConfig = configs_.ReportBlock(settings);
  // Before the page restarts: its frames go into the same shared arrays.
  TakeMeasurements(result);
  sink_.RefreshChipInfo();
  if (pageBefore_ != PAGE_TEST) StreamControl().RestartPage(pageBefore_);
  return result;
}

void ModuleTestEngine::UpdateFirmwareWithBackup(const RunSettings& settings) {
  TestItemStates items{};
  RunContext ctx{settings, sink_, clock_, items};
  PreparationSteps(ctx, false);
}

void ModuleTestEngine::CheckConfigMatch(const RunSettings& settings) {
  TestItemStates items{};
  items.fill(TEST_OFF);
  items[kItemUpdate] = OnIf(settings.versionCheck || settings.forceUpdate);
  RunContext ctx{settings, sink_, clock_, items};
  RestoreStep(ctx, false);
}
