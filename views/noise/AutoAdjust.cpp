#include "views/noise/AutoAdjust.h"

#include <set>

#include "device/ChipGlobals.h"
#include "device/ConfigError.h"
#include "device/config/ConfigFamily.h"
#include "device/link/RegisterOps.h"
#include "views/noise/NoiseItems.h"
#include "views/noise/NoiseTuning.h"

namespace {

// Tells each text once per run: a chip without "FactorB" would otherwise
// raise the same message at every index.
class OnceTeller {
 public:
  explicit OnceTeller(const std::function<void(const std::string&)>& tell) : tell_(tell) {}
  void operator()(const std::string& text) {
    if (tell_ && told_.insert(text).second) tell_(text);
  }

 private:
  const std::function<void(const std::string&)>& tell_;
  std::set<std::string> told_;
};

template <typename Step>
void Try(OnceTeller& tell, Step step) {
  try {
    step();
  } catch (const ConfigError& e) {
    tell(e.what());
  }
}

// The run's hold on the device, released on every way out.
class DeviceHold {
 public:
  explicit DeviceHold(const AutoAdjustHooks& hooks) : release_(hooks.releaseDevice) {
    if (hooks.holdDevice) hooks.holdDevice();
  }
  ~DeviceHold() {
    if (release_) release_();
  }
  DeviceHold(const DeviceHold&) = delete;
  DeviceHold& operator=(const DeviceHold&) = delete;

 private:
  const std::function<void()>& release_;
};

}  // namespace

AutoAdjustResult RunAutoAdjust(NoiseTuning& tuning, NoiseRange range, bool dual,
                               const DataFormat& raw, const AutoAdjustHooks& hooks) {
  AutoAdjustResult result;
  // Without a backup of this opening the end of the run would have nothing
  // of its own to restore.
  if (!tuning.BackedUp()) {
    if (hooks.tell) hooks.tell(kNoiseNoBackupText);
    return result;
  }
  const DeviceHold hold(hooks);
  OnceTeller tell(hooks.tell);
  CConfig& config = tuning.Config();
  // The chip must stay on the frequency it is given.
  Try(tell, [&] {
    int unused = 0;
    config.GetItemValue(kHoppingEnItem, unused);
  });
  Try(tell, [&] { config.SetItemValue(kHoppingEnItem, 0); });

  const FrameRequestSize size = PlanFrameRequest(DataKind::Raw, raw);
  std::vector<uint8_t> buffer(size.bytes);
  for (int target = range.start; target <= range.end; ++target) {
    StopDataStream();
    if (hooks.stopRequested && hooks.stopRequested()) {
      result.stopped = true;
      break;
    }
    Try(tell, [&] { config.SetItemValue(kFactorAItem, target); });
    if (dual) Try(tell, [&] { config.SetItemValue(kFactorBItem, target + 2); });
    Try(tell, [&] { config.SendConfig(); });

    CHidDevice* device = g_pBridgeDevice.load();
    const uint16_t syncFlag = g_wSyncFlagAddr.load();
    WriteChipReg8(device, syncFlag, 0);
    if (!ConfigFamilyIsDe7()) {
      // The chip clears the block's last byte once it has taken it.
      PollChipReg8(static_cast<uint16_t>(config.CfgAddr() + config.CfgLength() - 1), 0,
                   kAdjustPollTries);
    }
    StartDataStream(1);
    PollChipReg8(syncFlag, kAdjustReadyFlag, kAdjustPollTries);
    if (size.bytes == 0 || ReadChipRegs(device, raw.address, buffer.data(),
                                        static_cast<uint32_t>(size.bytes),
                                        kAdjustReadTimeoutMs) != 1) {
      continue;
    }
    ++result.measured;
    AdjustFrame frame{target, buffer, raw, size.nodes};
    if (hooks.handOff && hooks.handOff(std::move(frame))) ++result.handedOff;
  }
  StopDataStream();
  result.restored = tuning.Restore();
  return result;
}
