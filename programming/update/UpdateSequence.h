#pragma once
// The update sequence of the main window's update panel: reflash the
// bridge's microcontroller, burn the touch chip's firmware, burn the
// configuration, then verify what was burnt. Blocks for seconds: it runs on
// the update runner's worker thread, one run at a time. Everything it needs
// from the window and the devices comes in through UpdateHooks, so the same
// code runs against the simulator in the tests.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/LogSink.h"
#include "programming/touchfw/FwUpdate.h"
#include "programming/bridgefw/McuProgrammer.h"
#include "programming/touchfw/RegisterAccess.h"

struct RemoteImage;

// What the run does, taken from the panel on the UI thread when it starts.
struct UpdatePlan {
  bool bridge = false;
  bool touch = false;
  bool config = false;
  std::filesystem::path bridgePath;
  std::filesystem::path touchPath;
  std::filesystem::path configPath;
};

// The configuration burn and its check on the chip; the window's default is
// made from CConfig (MakeConfigBurn).
struct ConfigBurnOps {
  // Loads the file for the current chip; a file that does not give the
  // whole block is refused. Then sends the block with its checksum. Both
  // throw UserMessageError with the operator's text.
  std::function<void(const std::filesystem::path&)> load;
  std::function<void()> send;
  // Compares the chip's block with the file's (the chip reset first).
  std::function<bool()> compare;
  // Byte 0 of the file's block: its version.
  std::function<uint8_t()> fileVersion;
  // The chip's configuration version; nullopt when the read failed.
  std::function<std::optional<uint8_t>()> chipVersion;
};

// The remote link, when an image may come from the relay server
// (RemoteImageOpsOf makes them for a link).
struct RemoteImageOps {
  std::function<std::shared_ptr<const RemoteImage>()> takeImage;
  // Asks the server for the image again; 1, or 0 when the send failed.
  std::function<uint32_t()> sendRequest;
  std::function<uint32_t()> sendBurnDone;
  std::function<int()> remaining;
  std::function<int()> decrementRemaining;
  std::function<void()> closeLink;
};

struct UpdateHooks {
  IClock* clock = nullptr;  // null: the system clock
  // Message box of a missing path; the worker waits until it is closed.
  std::function<void(const std::string&)> prompt;
  // Stores the bridge image path ("v64er path").
  std::function<void(const std::string&)> saveBridgePath;
  // Start: the page marked stopped, the chip's stream stopped, the log
  // cleared. End: the page restarted.
  std::function<void()> beginRun;
  std::function<void()> endRun;

  // The bridge and its bootloader.
  std::function<bool()> programmingPresent;
  std::function<void()> resetArrivals;
  std::function<bool()> enterUpgradeMode;  // command 14
  std::function<bool(uint32_t ms)> waitProgrammingArrived;
  // True once the bridge itself is back and open, within ms.
  std::function<bool(uint32_t ms)> waitBridgeBack;
  std::function<std::string()> bridgeVersion;  // empty: the bridge does not answer
  std::function<uint16_t()> bridgeModelKey;
  std::function<uint16_t()> bridgeRelease;
  // Where a remote image's side files go (the runtime's temporary folder).
  std::function<std::filesystem::path(const RemoteImage&)> remoteImagePath;

  // The touch chip.
  std::function<std::unique_ptr<CFwUpdate>(ILogSink*)> makeEngine;
  std::function<bool()> identifyChip;
  std::function<std::string()> chipNameVersion;
  std::function<void()> touchVerified;  // the TouchIC lamp's own refresh
  // The bridge is back from a reflash with its new release (the bridge
  // lamp's caption is refreshed from it).
  std::function<void()> bridgeReflashed;

  std::function<std::unique_ptr<ConfigBurnOps>()> makeConfig;
  std::function<void()> configVerified;  // the panel geometry read again
  RemoteImageOps remote;  // fields left empty: no remote link
};

// Times of the sequence (ms).
inline constexpr uint32_t kUpdatePauseMs = 50;
inline constexpr uint32_t kLoaderArrivalMs = 10000;
inline constexpr uint32_t kBridgeReturnMs = 8000;
inline constexpr uint32_t kBridgeSettleMs = 600;
inline constexpr int kConfigCompareTries = 5;

class CUpdateSequence {
 public:
  CUpdateSequence(IMcuProgrammer& programmer, UpdateHooks hooks, ILogSink& log);

  // The whole run. True when every enabled step and the verification passed.
  bool Run(const UpdatePlan& plan);

 private:
  bool BridgeStep(const UpdatePlan& plan);
  bool ReachLoader();
  bool ProgramBridge(const UpdatePlan& plan, bool remote, std::filesystem::path* imagePath);
  void AfterRemoteBurn();
  bool TouchStep(const UpdatePlan& plan, std::unique_ptr<CFwUpdate>& engine);
  bool ConfigStep(const UpdatePlan& plan, std::unique_ptr<ConfigBurnOps>& config);
  bool VerifyBridge();
  bool VerifyTouch(const CFwUpdate& engine);
  bool VerifyConfig(ConfigBurnOps& config);
  void Log(const std::string& text, LogLevel level) { log_.AddLog(text, level); }
  void Sleep(uint32_t ms) { clock_->SleepMs(ms); }

  IMcuProgrammer& programmer_;
  UpdateHooks hooks_;
  ILogSink& log_;
  IClock* clock_;
};
