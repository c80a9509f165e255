#include "views/noise/NoiseTuning.h"

#include "device/ChipGlobals.h"
#include "device/ConfigError.h"
#include "device/HexStrToWord.h"
#include "platform/files/IniFile.h"
#include "views/noise/NoiseItems.h"

uint16_t ReadNoiseDataAddress() {
  return HexStrToWord(platform::IniGetString("Hopping", "NoiseDataAddr", "BB10", GetChipIniPath(), 260));
}

NoiseTuning::NoiseTuning(std::string chip)
    : chip_(std::move(chip)), config_(std::make_unique<CConfig>()) {}

bool NoiseTuning::Backup() {
  config_ = std::make_unique<CConfig>();
  keptHopThreshold_.reset();
  backedUp_ = config_->InitAndBackup();
  return backedUp_;
}

bool NoiseTuning::Restore() { return backedUp_ && config_->RestoreBackup(); }

void NoiseTuning::RequireBackup() const {
  if (!backedUp_) throw ConfigError(kNoiseNoBackupText);
}

NoiseSettingsRead NoiseTuning::ReadSettings(NoiseSettings* s) const {
  NoiseSettingsRead read;
  int start = s->range.start;
  int end = s->range.end;
  try {
    int value = 0;
    config_->GetItemValue(kBitFreqItem, value);
    s->bitFreq = BitFreqFromItem(chip_, value);
    config_->GetItemValue(kHopStartItem, start);
    config_->GetItemValue(kHopEndItem, end);
    config_->GetItemValue(OpeningThresholdItem(chip_), s->hopThreshold);
  } catch (const ConfigError& e) {
    read.error = e.what();
  }
  const CheckedNoiseRange checked = ValidateNoiseRange(start, end);
  s->range = checked.range;
  read.rangeLog = checked.logLine;
  try {
    int dual = 1;
    config_->GetItemValue(kDualFreqItem, dual);
    s->dual = dual != 0;
  } catch (const ConfigError&) {
    s->dual = true;
  }
  return read;
}

std::string NoiseTuning::ReadSegments(std::array<int, 11>* values) const {
  const std::array<std::string, 11> items = SegmentItems(chip_);
  for (size_t i = 0; i < items.size(); ++i) {
    try {
      int value = 0;
      config_->GetItemValue(items[i], value);
      (*values)[i] = value;
    } catch (const ConfigError& e) {
      return e.what();
    }
  }
  return {};
}

int NoiseTuning::ReadFactorA() const {
  int value = 0;
  try {
    config_->GetItemValue(kFactorAItem, value);
  } catch (const ConfigError&) {
    return 0;
  }
  return value;
}

void NoiseTuning::ReleaseMarker(int index, bool dual, bool manualHop) {
  RequireBackup();
  config_->SetItemValue(kFactorAItem, index);
  if (dual) config_->SetItemValue(kFactorBItem, index + 2);
  if (manualHop) {
    const std::string item = HopThresholdItem(chip_);
    if (!keptHopThreshold_) {
      int own = 0;
      config_->GetItemValue(item, own);
      config_->SetItemValue(item, kManualHopThreshold);
      keptHopThreshold_ = own;
    } else {
      config_->SetItemValue(item, kManualHopThreshold);
    }
  }
  config_->SendConfig();
}

bool NoiseTuning::ReleaseManualHop() {
  if (!keptHopThreshold_) return false;
  RequireBackup();
  config_->SetItemValue(HopThresholdItem(chip_), *keptHopThreshold_);
  config_->SendConfig();
  // Forgotten only once the chip has it back: a failed send can be retried.
  keptHopThreshold_.reset();
  return true;
}

void NoiseTuning::SendSegments(const std::array<int, 11>& values) {
  RequireBackup();
  const std::filesystem::path backup = CfgBackupPath(chip_);
  config_->LoadCfgFile(backup);
  config_->RefreshItemValues();
  const std::array<std::string, 11> items = SegmentItems(chip_);
  for (size_t i = 0; i < items.size(); ++i) config_->SetItemValue(items[i], values[i]);
  config_->ApplyItemValues();
  config_->SendConfig();
  // Only values the chip took are kept for closing to send again.
  config_->WriteCfgFile(backup);
}
