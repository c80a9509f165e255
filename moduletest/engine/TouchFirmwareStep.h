#pragma once
// The touch firmware of the update modes: the production firmware file held
// by the engine of the connected chip's family, its version check and its
// burn. A file that is missing or does not load fails item 5 when its step
// is due, without touching the chip. Used on the test thread only.

#include <filesystem>
#include <memory>
#include <optional>

#include "moduletest/engine/FileStamp.h"
#include "moduletest/engine/RunContext.h"
#include "programming/touchfw/FwUpdate.h"
#include "programming/touchfw/RegisterAccess.h"

class TouchFirmwareStep {
 public:
  // The engine's waits run on the run's clock.
  TouchFirmwareStep(ITestSink& sink, IRunClock& clock)
      : log_(sink), clock_(clock), access_(clock_) {}

  // The chip family of this run; another family drops the engine and its file.
  void UseFamily(FwFamily family);
  // Loads the ticked file unless it is held as it is on disk.
  void LoadFile(RunContext& ctx);
  // Forced upgrade / version check of the touch firmware.
  void UpgradeTouchFirmware(RunContext& ctx);
  void CheckTouchFwVersion(RunContext& ctx);

 private:
  class SinkLog : public ILogSink {
   public:
    explicit SinkLog(ITestSink& sink) : sink_(sink) {}
    void AddLog(const std::string& text, LogLevel level) override { sink_.Log(text, level); }

   private:
    ITestSink& sink_;
  };
  class RunClockAdapter : public IClock {
   public:
    explicit RunClockAdapter(IRunClock& clock) : clock_(clock) {}
    void SleepMs(uint32_t ms) override { clock_.SleepMs(ms); }
    int64_t NowMs() override { return clock_.NowMs(); }

   private:
    IRunClock& clock_;
  };
  bool Holds(const std::filesystem::path& path) const;
  // Whether the ticked file is held; otherwise item 5 fails with a line.
  bool Ready(RunContext& ctx);

  SinkLog log_;
  RunClockAdapter clock_;
  CQueueRegisterAccess access_;
  std::optional<FwFamily> family_;
  std::unique_ptr<CFwUpdate> engine_;
  std::optional<FileStamp> held_;
};
