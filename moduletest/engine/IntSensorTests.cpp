#include "moduletest/engine/IntSensorTests.h"

#include "device/ChipGlobals.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "moduletest/engine/ChipAccess.h"

namespace {

constexpr uint16_t kDe7ModeRegister = 0x8041;
constexpr uint16_t kModeRegister = 0x8046;
constexpr uint16_t kDe7SensorIdRegister = 0x824A;
constexpr uint16_t kSensorIdRegister = 0x814A;
constexpr uint32_t kSettleMs = 25;

bool IsDe7() {
  CHidDevice* device = BridgeDevice();
  return device != nullptr && device->IsDe7Family();
}

void SetReportMode(bool on) {
  if (IsDe7()) {
    WriteChipReg16(BridgeDevice(), kDe7ModeRegister, on ? 0x00FF : 0x0000);
  } else {
    WriteChipReg8(BridgeDevice(), kModeRegister, on ? 1 : 0);
  }
}

}  // namespace

void TestInt(RunContext& ctx) {
  StopDataStream();
  SetReportMode(true);
  WriteChipReg8(BridgeDevice(), kChipCommandRegister, 1);
  EnableDigitizer();
  // A flag that could not be raised would read 0 at once and pass untested.
  const bool raised = WriteChipReg8(BridgeDevice(), g_wSyncFlagAddr.load(), 0x80) != 0;
  const bool cleared = raised && PollChipReg8(g_wSyncFlagAddr.load(), 0, kIntPolls) != 0;
  ctx.SetItem(kItemInt, cleared ? TEST_PASS : TEST_FAIL);
  if (g_bDigitizerDisabled.load()) {
    DisableDigitizer();
  } else {
    EnableDigitizer();
  }
  SetReportMode(false);
  WriteChipReg8(BridgeDevice(), kChipCommandRegister, 0);
  ctx.Sleep(kSettleMs);
}

std::optional<uint8_t> ExpectedSensorId(const std::string& text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > 255) return std::nullopt;
  return static_cast<uint8_t>(value);
}

void TestSensorId(RunContext& ctx) {
  const auto expected = ExpectedSensorId(ctx.settings.sensorIdText);
  if (!expected) {
    ctx.Log("SENSOR_ID 期望值无效", LOG_ERROR);
    ctx.SetItem(kItemSensorId, TEST_FAIL);
    return;
  }
  const auto id = ReadChipReg8Checked(IsDe7() ? kDe7SensorIdRegister : kSensorIdRegister);
  ctx.SetItem(kItemSensorId, id == expected ? TEST_PASS : TEST_FAIL);
}
