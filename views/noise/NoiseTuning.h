#pragma once
// What the noise view changes in the chip, as configuration items on its own
// CConfig: the settings read when it opens, a marker release (FactorA,
// FactorB and, with "Manual Hop", the hop threshold), the release of
// "Manual Hop", and "Send Config" of the eleven segment values. Every change
// goes to the chip through CConfig::SendConfig.
//
// One thread at a time: the UI thread, a send's worker while the UI thread
// waits for it, or the auto-adjust worker while it runs (the view refuses
// its own configuration commands meanwhile).
// Failures throw ConfigError with the operator's text.
//
// Nothing is sent unless this object's own backup succeeded: without it the
// block holds no chip data and the backup file on disk belongs to an earlier
// opening (perhaps another module), so neither may reach the chip.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "device/config/Config.h"
#include "views/noise/NoiseFrame.h"

// The chip INI's [Hopping] "NoiseDataAddr" (default "BB10"), as a register.
uint16_t ReadNoiseDataAddress();

// The refusal of every send while this opening holds no backup.
inline constexpr const char* kNoiseNoBackupText =
    "未能读取芯片配置，无法修改配置，请关闭并重新打开噪声窗口后再试";

struct NoiseSettings {
  int bitFreq = 3000;
  NoiseRange range;
  int hopThreshold = 255;  // as read at opening
  bool dual = false;
};

// What reading the settings gave: the first item error (the later reads of
// the step were skipped) and the line that says the range was corrected.
struct NoiseSettingsRead {
  std::string error;
  std::string rangeLog;
};

class NoiseTuning {
 public:
  explicit NoiseTuning(std::string chip);

  const std::string& Chip() const { return chip_; }
  CConfig& Config() { return *config_; }

  // A fresh configuration object, the chip's items loaded, its block read
  // and written to the backup file (failures told to the operator).
  bool Backup();
  // The last Backup wrote this chip's block to the backup file.
  bool BackedUp() const { return backedUp_; }
  // Sends the backup file back (failures told to the operator). Without a
  // backup of its own nothing is loaded or sent (false).
  bool Restore();

  // "BitFreq", "HopFreqStart", "HopFreqEnd", the opening threshold, then
  // "DualFreq" (a chip without it counts as dual-frequency).
  NoiseSettingsRead ReadSettings(NoiseSettings* settings) const;
  // The eleven segment values; the first missing item ends the reads (the
  // values read so far are set) and its text is returned.
  std::string ReadSegments(std::array<int, 11>* values) const;
  // "FactorA", 0 when the chip has none.
  int ReadFactorA() const;

  // A marker released at index: FactorA (and FactorB = index + 2 on dual
  // chips); with "Manual Hop" the hop threshold becomes 255, its own value
  // kept the first time so that clearing the box puts it back. Then sent.
  void ReleaseMarker(int index, bool dual, bool manualHop);
  // "Manual Hop" cleared: the kept threshold is written back and sent, then
  // forgotten (kept when the send fails). Nothing kept: nothing sent (false).
  bool ReleaseManualHop();
  std::optional<int> KeptHopThreshold() const { return keptHopThreshold_; }

  // "Send Config": the backup file's block with the eleven values, sent, and
  // once the chip has taken them written back to the backup (closing keeps
  // them).
  void SendSegments(const std::array<int, 11>& values);

 private:
  // Throws kNoiseNoBackupText without a backup of this object's own.
  void RequireBackup() const;

  std::string chip_;
  std::unique_ptr<CConfig> config_;
  std::optional<int> keptHopThreshold_;
  bool backedUp_ = false;
};
