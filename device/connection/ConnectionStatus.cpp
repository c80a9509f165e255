#include "device/connection/ConnectionStatus.h"

#include <cstdio>

#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/chip/ChipIdentify.h"
#include "device/link/HidDevice.h"
#include "device/chip/PanelGeometry.h"
#include "device/link/RegisterOps.h"
#include "platform/TextTrim.h"

ConnectionOps DeviceConnectionOps() {
  ConnectionOps ops;
  ops.bridgeVersion = GetBridgeVersion;
  ops.identifyChip = IdentifyChip;
  ops.chipNameVersion = GetChipNameVersion;
  ops.probe = ProbeConnection;
  ops.readPanelGeometry = ReadPanelGeometry;
  return ops;
}

std::string NameBridgeModel(CHidDevice& device, const std::string& bridgeText) {
  const BridgeModelTable models = GetBridgeModels();
  const CHidDevice::Attributes attributes = device.GetAttributes();
  uint16_t code = attributes.productId;
  if (models.IsSharedPid(attributes.productId)) {
    if (std::optional<uint16_t> found = models.ModelCodeIn(bridgeText)) {
      code = *found;
      device.SetModelCode(code);
    }
  }
  const char* format = "K%x_%04x";
  if (models.IsGModel(code)) {
    format = "K%xG_%04x";
  } else if (models.IsPModel(code)) {
    format = "K%xP_%04x";
  }
  char caption[32];
  std::snprintf(caption, sizeof caption, format, static_cast<unsigned>(code),
                static_cast<unsigned>(attributes.version));
  return caption;
}

std::string BridgeLampCaption(const std::string& bridgeText) {
  CHidDevice* device = g_pBridgeDevice.load();
  if (bridgeText.empty() || device == nullptr) return {};
  return NameBridgeModel(*device, bridgeText);
}

ConnectionProbe ProbeConnection() {
  ConnectionProbe probe;
  probe.probed = true;
  probe.bridgeText = GetBridgeVersion();
  // Before identifying: the model code decides which family a shared-id
  // bridge carries.
  probe.bridgeLampText = BridgeLampCaption(probe.bridgeText);
  ReadChipReg8(kChipWakeRegister);
  probe.chipOk = IdentifyChip() != 0;
  if (probe.chipOk) probe.chipNameVersion = GetChipNameVersion();
  return probe;
}

LampColour ConnectionStatus::NextBlink(bool& toggle) {
  const LampColour colour = toggle ? LampColour::Grey : LampColour::Red;
  toggle = !toggle;
  return colour;
}

ViewActions ConnectionStatus::LoaderPresent() {
  bridgeConnected_ = false;
  loaderShown_ = true;
  return {ViewAction::Lamp(Indicator::Bridge, LampColour::Green),
          ViewAction::LampText(Indicator::Bridge, kTextLoaderCaption)};
}

bool ConnectionStatus::TakeLoaderShown() {
  const bool shown = loaderShown_;
  loaderShown_ = false;
  return shown;
}

StatusDecision ConnectionStatus::Check(const StatusInputs& in) {
  StatusDecision out;
  ViewActions& act = out.actions;
  if (in.programmingPresent) {
    act = LoaderPresent();
    out.result = 1;
    return out;
  }
  // A probe skipped because the device was busy counts as a busy check: the
  // display must not take the missing answers for a lost link.
  if (in.busy || !in.probe.probed) return out;

  const ConnectionProbe& probe = in.probe;
  if (probe.bridgeText.empty()) {
    act.push_back(ViewAction::Lamp(Indicator::Bridge, NextBlink(bridgeBlink_)));
    if (bridgeConnected_) act.push_back(ViewAction::Log(kTextUsbDisconnected, LOG_ERROR));
    bridgeConnected_ = false;
    // The chip went with the bridge; its loss is not reported separately.
    chipConnected_ = false;
  } else if (!bridgeConnected_) {
    act.push_back(ViewAction::Lamp(Indicator::Bridge, LampColour::Green));
    act.push_back(ViewAction::LampText(Indicator::Bridge, probe.bridgeLampText));
    bridgeConnected_ = true;
    loaderShown_ = false;
    act.push_back(ViewAction::Log(kTextUsbConnected, LOG_OK));
  }

  if (!probe.chipOk) {
    act.push_back(ViewAction::Lamp(Indicator::TouchIc, NextBlink(chipBlink_)));
    if (chipConnected_) act.push_back(ViewAction::Log(kTextIicDisconnected, LOG_ERROR));
    chipConnected_ = false;
    out.result = 1;
    return out;
  }
  if (!chipConnected_ || in.touchIcText.find(kUnknownChipMarker) != std::string::npos) {
    act.push_back(ViewAction::Lamp(Indicator::TouchIc, LampColour::Green));
    act.push_back(ViewAction::LampText(Indicator::TouchIc, probe.chipNameVersion));
    chipConnected_ = true;
    act.push_back(ViewAction::Log(kTextIicConnected, LOG_OK));
  }
  out.result = bridgeConnected_ && chipConnected_ ? 0 : 1;
  return out;
}

std::optional<int> FindChipTypeIndex(const std::vector<std::string>& items,
                                     const std::string& name) {
  const std::string_view wanted = platform::TrimChars(name);
  if (wanted.empty() || items.empty()) return std::nullopt;
  const size_t n = items.size();
  for (size_t step = 1; step <= n; ++step) {
    const size_t i = step % n;
    if (platform::TrimChars(items[i]) == wanted) return static_cast<int>(i);
  }
  return std::nullopt;
}

bool SelectChipType(const std::string& itemText) {
  const std::string before = GetChipName();
  SetChipName(itemText);
  return itemText != before;
}

ChipInfoDecision RefreshChipInfo(const ConnectionOps& ops,
                                 const std::vector<std::string>& chipTypeItems) {
  ChipInfoDecision out;
  if (ops.identifyChip && ops.identifyChip() != 0) {
    out.actions.push_back(
        ViewAction::LampText(Indicator::TouchIc, ops.chipNameVersion ? ops.chipNameVersion() : ""));
    out.actions.push_back(ViewAction::Lamp(Indicator::TouchIc, LampColour::Green));
  } else {
    out.actions.push_back(ViewAction::LampText(Indicator::TouchIc, kTextUnknownChip));
  }
  out.chipTypeIndex = FindChipTypeIndex(chipTypeItems, GetChipName());
  if (ops.rebuildDataOptions) ops.rebuildDataOptions();
  if (ops.readPanelGeometry) ops.readPanelGeometry();
  return out;
}
