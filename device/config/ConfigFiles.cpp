// The configuration's files: ".cfg" blocks (export, write, load, backup and
// restore) and the ".sc"/".ui" item descriptions. The text work is in
// CfgText, ScFile and UiFile; this file reads and writes the files.

#include <array>
#include <system_error>
#include <utility>

#include "device/config/CfgPathChooser.h"
#include "device/config/CfgText.h"
#include "device/ChipGlobals.h"
#include "device/chip/ChipHooks.h"
#include "device/chip/ChipIdentify.h"
#include "device/config/Config.h"
#include "device/ConfigError.h"
#include "device/config/ScFile.h"
#include "device/config/UiFile.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/IniFile.h"

namespace {

constexpr const char* kCfgFilter = "config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||";
constexpr const char* kBackupFolder = "..\\System\\Temp\\";

// Notes which description the configuration uses. A settings file that
// cannot be written costs only that note, never the load.
void NoteItemFile(const std::filesystem::path& path) {
  platform::IniWriteString("ConfigInfo", "UI File Name", path.string(), GetChipIniPath());
}

std::string ReadItemFile(const std::filesystem::path& path) {
  std::string bytes;
  if (!platform::ReadFileBytes(path, &bytes, kItemFileMaxBytes)) {
    throw ConfigError(std::string(kItemFileOpenFailedText));
  }
  return bytes;
}

}  // namespace

std::string ProposedCfgFileName(const std::string& chipName, std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  std::array<char, 32> stamp{};
  std::strftime(stamp.data(), stamp.size(), "_%Y%m%d%H%M%S", &local);
  return chipName + stamp.data() + ".cfg";
}

std::filesystem::path CfgBackupPath(const std::string& chipName) {
  return platform::AppPaths::Resolve(std::string(kBackupFolder) + chipName + "_Back.cfg");
}

std::string CfgFileLengthText(const std::filesystem::path& file, size_t values, int length) {
  return "配置文件" + file.filename().string() + "有" + std::to_string(values) +
         "个数据，与芯片配置长度" + std::to_string(length) + "不符，不烧录";
}

void CConfig::WriteCfgFile(const std::filesystem::path& path) {
  RequireSendable();
  ComputeChecksum();
  const std::string text =
      FormatCfgText(std::span<const uint8_t>(block_.data(), static_cast<size_t>(cfgLength_)),
                    CfgTextEnding::kCommaAndZero);
  std::string error;
  if (!platform::WriteFileAtomic(path, text, &error)) throw ConfigError(error);
}

bool CConfig::ExportCfgFile(ICfgPathChooser& chooser) {
  RequireSendable();
  ComputeChecksum();
  std::optional<std::filesystem::path> path =
      chooser.ChooseSavePath(ProposedCfgFileName(GetChipName(), std::time(nullptr)), kCfgFilter);
  if (!path) return false;
  // The dialog's default extension.
  if (!path->has_extension()) *path += ".cfg";
  const std::string text =
      FormatCfgText(std::span<const uint8_t>(block_.data(), static_cast<size_t>(cfgLength_)),
                    CfgTextEnding::kComma);
  if (!platform::WriteFileAtomic(*path, text)) throw ConfigError(std::string(kCfgCreateFailedText));
  return true;
}

void CConfig::LoadCfgFile(const std::filesystem::path& pathOrPattern, CfgFileFit fit) {
  // The layout the file is read into is checked before the file is touched.
  const Layout layout = ReadLayoutKeys();
  RequireValidLength(layout.cfgLength);

  std::filesystem::path opened = pathOrPattern;
  std::string bytes;
  bool read = platform::ReadFileBytes(opened, &bytes, kCfgFileMaxBytes);
  if (!read) {
    const auto matches = platform::AppPaths::FindFiles(pathOrPattern.string());
    if (!matches.empty()) {
      opened = matches.front();
      read = platform::ReadFileBytes(opened, &bytes, kCfgFileMaxBytes);
    }
  }
  if (!read) throw ConfigError(std::string(kCfgOpenFailedText));
  const CfgParseResult parsed = ParseCfgText(bytes);
  if (!parsed.ok) throw ConfigError(parsed.error);
  const auto length = static_cast<size_t>(layout.cfgLength);
  if (fit == CfgFileFit::kWholeBlock && parsed.values != length) {
    throw ConfigError(CfgFileLengthText(opened, parsed.values, layout.cfgLength));
  }

  std::copy(parsed.bytes.begin(), parsed.bytes.end(), block_.begin());
  cfgAddr_ = layout.cfgAddr;
  cfgLength_ = layout.cfgLength;
  // Bytes a short file leaves are the chip's own only over a filled block.
  filled_ = filled_ || parsed.bytes.size() >= length;
  RefreshItemValues();
  loadedFile_ = opened;
  std::error_code ec;
  const auto time = std::filesystem::last_write_time(opened, ec);
  loadedFileTime_ = ec ? std::nullopt : std::optional(time);
}

void CConfig::LoadScFile(const std::filesystem::path& path) {
  const std::string bytes = ReadItemFile(path);
  ScDescription description = ParseScFile(bytes, cfgLength_);
  if (!description.ok) throw ConfigError(description.error);
  NoteItemFile(path);
  items_ = std::move(description.items);
  if (description.hasBaseAddress) cfgAddr_ = description.baseAddress;
}

void CConfig::LoadUiFile(const std::filesystem::path& path) {
  const std::string bytes = ReadItemFile(path);
  UiDescription description = ParseUiFile(bytes, path.string());
  if (!description.ok) {
    if (description.error != kItemFileOpenFailedText) items_.clear();
    throw ConfigError(description.error);
  }
  NoteItemFile(path);
  items_ = std::move(description.items);
  cfgAddr_ = description.baseAddress;
}

bool CConfig::InitAndBackup() {
  IUserNotifier& notifier = UserNotifier();
  const std::string chip = GetChipName();
  if (!IsPlainFileName(chip)) {
    // Never a path made from the chip's bytes.
    notifier.MessageBox(std::string(kCfgScMissingText));
    return false;
  }
  std::filesystem::path scFile;
  if (std::optional<std::filesystem::path> found = FindScFileFor(chip)) {
    scFile = std::move(*found);
  } else {
    notifier.MessageBox(std::string(kCfgScMissingText));
    scFile = platform::AppPaths::Resolve(std::string(kCfgItemFolder) + kMissingScFileName);
  }
  try {
    LoadScFile(scFile);
    ReadConfig();
  } catch (const ConfigError& e) {
    notifier.MessageBox(e.what());
    return false;
  }
  const std::filesystem::path backup = CfgBackupPath(chip);
  try {
    std::error_code ec;
    std::filesystem::create_directories(backup.parent_path(), ec);
    WriteCfgFile(backup);
  } catch (const ConfigError& e) {
    notifier.MessageBox(backup.string());
    notifier.MessageBox(e.what());
    return false;
  }
  return true;
}

bool CConfig::RestoreBackup() {
  IUserNotifier& notifier = UserNotifier();
  const std::string chip = GetChipName();
  if (!IsPlainFileName(chip)) {
    notifier.MessageBox(std::string(kCfgOpenFailedText));
    return false;
  }
  try {
    LoadCfgFile(CfgBackupPath(chip));
  } catch (const ConfigError& e) {
    notifier.MessageBox(e.what());
    return false;
  }
  try {
    SendConfig();
  } catch (const ConfigError&) {
    notifier.MessageBox(std::string(kCfgRestoreFailedText));
    return false;
  }
  return true;
}
