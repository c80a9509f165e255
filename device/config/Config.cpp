#include "device/config/Config.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "device/ChipGlobals.h"
#include "device/chip/ChipIdentify.h"
#include "device/ConfigError.h"
#include "device/config/ConfigFamily.h"
#include "device/DecimalPrefix.h"
#include "device/HexStrToWord.h"
#include "device/link/RegisterOps.h"
#include "device/StreamControl.h"
#include "platform/files/IniFile.h"

namespace {

constexpr size_t kMapKeyBuffer = 1024;
constexpr uint32_t kReadTimeoutMs = 100;

// The chip's configuration hand-shake.
constexpr uint16_t kDe7ParamRegister = 0x8041;
constexpr uint8_t kDe7Idle = 0xFF;
constexpr uint16_t kDe7RequestParam = 0x0080;
constexpr uint8_t kDe7Request = 0x80;
constexpr uint8_t kDe7Acknowledge = 0x82;
constexpr uint16_t kDe7CommitParam = 0x007D;
constexpr uint8_t kDe7Commit = 0x83;
constexpr uint32_t kDe7PollTries = 50;
constexpr uint32_t kFreshFlagPollTries = 250;

constexpr uint32_t kResetLeadMs = 1000;
constexpr uint32_t kResetSettleMs = 600;

uint8_t Complement(uint32_t sum) { return static_cast<uint8_t>(0x100 - (sum & 0xFF)); }

uint32_t SumOf(const uint8_t* bytes, int from, int to) {
  uint32_t sum = 0;
  for (int i = from; i < to; ++i) sum += bytes[i];
  return sum;
}

std::string Ini(const char* section, const char* key, const char* def, size_t buffer) {
  return platform::IniGetString(section, key, def, GetChipIniPath(), buffer);
}

int IniInt(const char* section, const char* key) {
  return platform::IniGetInt(section, key, 0, GetChipIniPath());
}

// Settings numbers beyond an int are held at its largest magnitude.
constexpr int kIntLimit = 0x7FFFFFFF;

void ThrowSendFailed() { throw ConfigError(std::string(kCfgSendFailedText)); }

}  // namespace

std::string InvalidCfgLengthText(int length) {
  return "配置长度无效(CfgLength=" + std::to_string(length) + ")";
}

CConfig::CConfig() {
  const Layout layout = ReadLayoutKeys();
  cfgAddr_ = layout.cfgAddr;
  cfgLength_ = layout.cfgLength;
  ReadChannelCounts();
  const int drive = HexStrToWord(Ini("BasicData", "DrvStartAddr", "0x80d5", kTextKeyBuffer));
  const int sense = HexStrToWord(Ini("BasicData", "SenStartAddr", "0x80B7", kTextKeyBuffer));
  driveMapStart_ = drive - cfgAddr_;
  senseMapStart_ = sense - cfgAddr_;
}

CConfig::CConfig(WithItems) : CConfig() {
  try {
    LoadScFile(GetScFilePath());
  } catch (const ConfigError&) {
    // The object is still usable without its items.
  }
}

CConfig::Layout CConfig::ReadLayoutKeys() {
  return Layout{HexStrToWord(Ini("Cfg", "CFGAddr", "0x8047", kTextKeyBuffer)),
                DecimalPrefix(Ini("Cfg", "CfgLength", "186", kTextKeyBuffer), kIntLimit)};
}

void CConfig::ReadChannelCounts() {
  // A channel count indexes the block's maps and takes part in position
  // arithmetic: a value from the file outside 0..block size is meaningless
  // and would overflow that arithmetic, so it is held to that range.
  auto count = [](const char* key) {
    return std::clamp(IniInt("Channel", key), 0, static_cast<int>(kBlockBytes));
  };
  drvHalfNumber_ = count("DrvHalfNmuber");
  senHalfNumber_ = count("SenHalfNumber");
  senMaxNum_ = count("SenMaxNum");
  drvMaxNum_ = count("DrvMaxNum");
}

std::optional<CConfig::ChannelLists> CConfig::ReadChannelLists() {
  if (IniInt("Channel", "MapDisable") != 0) return std::nullopt;
  auto list = [](const std::string& text) {
    std::vector<int32_t> numbers;
    for (const std::string& piece : SplitByComma(text))
      numbers.push_back(DecimalPrefix(piece, kIntLimit));
    return numbers;
  };
  return ChannelLists{list(Ini("Channel", "DrvMap", "0", kMapKeyBuffer)),
                      list(Ini("Channel", "SenMap", "0", kMapKeyBuffer))};
}

void CConfig::RequireValidLength(int length) {
  const int minimum = ConfigFamilyIsDe7() ? kMinDe7Length : kMinLength;
  if (length < minimum || length > static_cast<int>(kBlockBytes)) {
    throw ConfigError(InvalidCfgLengthText(length));
  }
}

std::optional<size_t> CConfig::MapOffset(int startOffset, int entries) const {
  const int block = static_cast<int>(kBlockBytes);
  if (startOffset < 0 || startOffset >= block || entries < 0 || entries > block - startOffset) {
    return std::nullopt;
  }
  return static_cast<size_t>(startOffset);
}

std::optional<size_t> CConfig::DriveMapOffset() const {
  return MapOffset(driveMapStart_, drvMaxNum_);
}

std::optional<size_t> CConfig::SenseMapOffset() const {
  return MapOffset(senseMapStart_, senMaxNum_);
}

void CConfig::ComputeChecksum() {
  RequireValidLength(cfgLength_);
  uint8_t* b = block_.data();
  const int n = cfgLength_;
  if (ConfigFamilyIsDe7()) {
    b[kDe7HeadSum] = Complement(SumOf(b, 0, kDe7HeadSum));
    b[kDe7FirstSum] = Complement(SumOf(b, 0, kDe7FirstSum));
    b[n - 1] = Complement(SumOf(b, kDe7FirstSum + 1, n - 1));
  } else {
    b[n - 2] = Complement(SumOf(b, 0, n - 2));
    b[n - 1] = 1;
  }
}

void CConfig::ReadConfig() {
  const Layout layout = ReadLayoutKeys();
  RequireValidLength(layout.cfgLength);
  std::optional<ChannelLists> lists = ReadChannelLists();
  // A failed read fills its buffer with the bridge's fill bytes: they must
  // never become the block that a later save or send writes out.
  std::array<uint8_t, kBlockBytes> read{};
  const auto length = static_cast<size_t>(layout.cfgLength);
  if (ReadChipRegs(g_pBridgeDevice.load(), layout.cfgAddr, read.data(),
                   static_cast<uint32_t>(length), kReadTimeoutMs) == 0) {
    throw ConfigError(std::string(kCfgReadFailedText));
  }
  std::copy_n(read.begin(), length, block_.begin());
  cfgAddr_ = layout.cfgAddr;
  cfgLength_ = layout.cfgLength;
  if (lists) {
    driveChannels_ = std::move(lists->drive);
    senseChannels_ = std::move(lists->sense);
  }
  filled_ = true;
  RefreshItemValues();
}

std::recursive_mutex& ConfigSendMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

void CConfig::RequireSendable() const {
  RequireValidLength(cfgLength_);
  if (!filled_) throw ConfigError(std::string(kCfgReadFailedText));
}

void CConfig::SendConfig() {
  RequireSendable();
  std::lock_guard sending(ConfigSendMutex());
  ApplyItemValues();

  IStreamControl& stream = StreamControl();
  const int page = stream.CurrentPage();
  const bool stopped = IsDataStreamPage(page) && stream.StopPageStream(page);
  if (stopped) StopDataStream();

  CHidDevice* device = g_pBridgeDevice.load();
  const uint16_t syncFlag = g_wSyncFlagAddr.load();
  const bool de7 = ConfigFamilyIsDe7();
  WriteChipReg8(device, syncFlag, 0);
  if (de7) {
    // The chip must be idle, then asked to take a block; it answers 0x82.
    PollChipReg8(kChipCommandRegister, kDe7Idle, kDe7PollTries);
    WriteChipReg16(device, kDe7ParamRegister, kDe7RequestParam);
    WriteChipReg8(device, kChipCommandRegister, kDe7Request);
    WriteChipReg8(device, syncFlag, 0);
    if (PollChipReg8(kChipCommandRegister, kDe7Acknowledge, kDe7PollTries) == 0) {
      ThrowSendFailed();
    }
  }
  if (WriteChipRegs(cfgAddr_, block_.data(), static_cast<uint32_t>(cfgLength_)) == 0) {
    ThrowSendFailed();
  }
  if (de7) {
    // Without the commit the chip never takes the block: a lost write fails
    // the send. The chip's return to idle is not waited on beyond 50 reads.
    if (WriteChipReg16(device, kDe7ParamRegister, kDe7CommitParam) == 0 ||
        WriteChipReg8(device, kChipCommandRegister, kDe7Commit) == 0) {
      ThrowSendFailed();
    }
    PollChipReg8(kChipCommandRegister, kDe7Idle, kDe7PollTries);
  } else {
    // The chip clears the fresh flag once it has checked and taken the block.
    const auto freshFlag = static_cast<uint16_t>(cfgAddr_ + cfgLength_ - 1);
    if (PollChipReg8(freshFlag, 0, kFreshFlagPollTries) == 0) ThrowSendFailed();
  }

  if (stopped && !stream.IsBusy()) {
    StartDataStream(1);
    stream.RestartPageStream(page);
  }
}

void CConfig::SendWithChecksum() {
  RequireSendable();
  ComputeChecksum();
  SendConfig();
}

void CConfig::SetSleep(SleepFn sleep) { sleep_ = std::move(sleep); }

bool CConfig::CompareChipConfig(bool reset) {
  CConfig chip;
  if (reset) {
    auto sleep = sleep_ ? sleep_ : [](uint32_t ms) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
    sleep(kResetLeadMs);
    ResetTouchChip();
    sleep(kResetSettleMs);
  }
  try {
    chip.ReadConfig();
  } catch (const ConfigError&) {
    return false;
  }
  // Byte 0 and the fresh flag (or DE7 sum) at the end are left out.
  for (int i = 1; i <= chip.cfgLength_ - 2; ++i) {
    if (block_[i] != chip.block_[i]) return false;
  }
  return true;
}
