#include "device/chip/ChipIdentify.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>

#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/chip/ChipHooks.h"
#include "device/ConfigError.h"
#include "device/link/HidDevice.h"
#include "device/Latin1Text.h"
#include "device/link/RegisterOps.h"
#include "device/SettingsFileCheck.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/IniFile.h"
#include "platform/TextTrim.h"

namespace {

constexpr uint32_t kIdReadTimeoutMs = 100;

constexpr const char* kChipIniFolder = "..\\System\\ChipIni\\";
constexpr const char* kIniCreateFailedText = "ini文件创建失败！";
constexpr const char* kChipIniNotAFileText = "芯片配置文件不是普通文件，不使用也不替换：";

using Family = ChipIdFamily;

const char* PlaceholderOf(Family family) { return family == Family::DE7 ? "RO7XXX" : "RO9XXX"; }

struct NameMapping {
  std::string_view id;
  std::string_view name;
};

// Chips sold under another name than their id.
constexpr std::array<NameMapping, 5> kSalesNames{{
    {"RO9111", "RO9110V"},
    {"RO9112", "RO9110R"},
    {"RO6109", "RO6108D"},
    {"RO6572", "VE6572"},
    {"RO7388", "RO7387Z"},
}};

std::optional<ChipId> ReadChipId(CHidDevice* device, Family family) {
  const ChipIdBlock block = IdBlockOf(family);
  std::array<uint8_t, 8> bytes{};
  if (ReadChipRegs(device, block.address, bytes.data(), block.length, kIdReadTimeoutMs) == 0) {
    return std::nullopt;
  }
  return ParseChipId(family, bytes.data());
}

// Identifications run one at a time so that "previous name" and the commit
// belong together; hooks are called after it is released.
std::mutex g_identifyMutex;

// A listed chip replaced another name: its profile files and the UI follow,
// outside the identification lock.
void NotifyChipChanged() {
  if (!ChipEvents().IsReady()) return;
  FindChipIni();
  FindChipScFile();
  ChipEvents().OnChipChanged();
}

// A chip INI that is there but cannot be read is said once (per state of
// the file): the chip then runs on defaults.
void ReportUnreadableChipIni(const std::filesystem::path& path) {
  if (const std::optional<std::string> line = UnreadableSettingsLine(path)) {
    UserNotifier().LogLine(*line, LOG_ERROR);
  }
}

// A placeholder stands for no chip's profile, so even the same name found
// again needs its files looked up.
bool NameChanged(const std::string& previous, const std::string& now) {
  return previous.find("XXX") != std::string::npos || previous != now;
}

}  // namespace

ChipIdBlock IdBlockOf(ChipIdFamily family) {
  return family == ChipIdFamily::DE7 ? ChipIdBlock{0x8240, 8} : ChipIdBlock{0x8140, 6};
}

std::string MapChipName(std::string idName) {
  for (const NameMapping& m : kSalesNames) {
    if (idName == m.id) return std::string(m.name);
  }
  return idName;
}

ChipId ParseChipId(ChipIdFamily family, const uint8_t* bytes) {
  // The id characters end at the first NUL ("911\0" is RO911); any byte is
  // kept as a character, never as a path or format element.
  std::string name = MapChipName("RO" + Latin1ToUtf8(bytes, 4));
  char version[8];
  if (family == ChipIdFamily::DE7) {
    std::snprintf(version, sizeof version, "%02X.%02X", bytes[6], bytes[7]);
  } else {
    std::snprintf(version, sizeof version, "%4X", static_cast<unsigned>(bytes[5] << 8 | bytes[4]));
  }
  std::string nameVersion = name + "_" + version;
  return ChipId{std::move(name), std::move(nameVersion)};
}

bool IdentifyChipForUpdate(ChipIdFamily family, const ChipIdReader& read, int tries) {
  bool listed = false;
  bool changed = false;
  {
    std::lock_guard lock(g_identifyMutex);
    const std::string previous = GetChipName();
    const ChipIdBlock block = IdBlockOf(family);
    for (int attempt = 0; attempt < tries && !listed; ++attempt) {
      std::array<uint8_t, 8> bytes{};
      if (!read(block.address, bytes.data(), block.length)) continue;
      const ChipId id = ParseChipId(family, bytes.data());
      SetChipName(id.name);
      SetChipNameVersion(id.nameVersion);
      listed = IsChipInList(id.name);
      changed = listed && NameChanged(previous, id.name);
    }
  }
  if (changed) NotifyChipChanged();
  return listed;
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::vector<std::string> SplitByComma(std::string_view text) {
  std::vector<std::string> pieces;
  for (;;) {
    const size_t comma = text.rfind(',');
    if (comma == std::string_view::npos) {
      pieces.emplace_back(text);
      break;
    }
    pieces.emplace_back(text.substr(comma + 1));
    if (comma == 0) break;
    text = text.substr(0, comma);
  }
  return {pieces.rbegin(), pieces.rend()};
}

bool IsChipInList(const std::string& name) {
  // Read whole, not cut to a path-sized buffer: a long list must list the
  // same chips here as in the chip-type choice the window shows.
  const std::string list =
      platform::IniGetString(kChipListSection, kChipListKey, std::string(kDefaultChipList),
                             platform::AppPaths::Resolve(kAppConfigIniText));
  const std::string_view wanted = platform::TrimChars(name);
  if (wanted.empty()) return false;
  for (const std::string& piece : SplitByComma(list)) {
    if (platform::TrimChars(piece) == wanted) return true;
  }
  return false;
}

int IdentifyChip() {
  bool changed = false;
  int result = 0;
  {
    std::lock_guard lock(g_identifyMutex);
    const std::string previous = GetChipName();
    CHidDevice* device = g_pBridgeDevice.load();
    const bool sharedPid =
        device != nullptr && GetBridgeModels().IsSharedPid(device->GetAttributes().productId);
    Family family = device != nullptr && device->IsDe7Family() ? Family::DE7 : Family::RU9;
    // Boards of both families use a shared product id: when the family the
    // bridge suggests gives no listed chip, the other one is read once.
    const int attempts = sharedPid ? 2 : 1;
    for (int attempt = 0; attempt < attempts && result == 0; ++attempt) {
      if (attempt > 0) family = family == Family::DE7 ? Family::RU9 : Family::DE7;
      const std::optional<ChipId> id = ReadChipId(device, family);
      if (!id) continue;
      SetChipNameVersion(id->nameVersion);
      if (!IsChipInList(id->name)) continue;
      SetChipName(id->name);
      changed = NameChanged(previous, id->name);
      result = 1;
    }
    if (result == 0) {
      SetChipName(IsChipInList(previous) ? previous : PlaceholderOf(family));
    }
  }
  if (changed) NotifyChipChanged();
  return result;
}

void FindChipIni() {
  const std::string name = GetChipName();
  if (!IsPlainFileName(name)) {
    // Never a path from the chip's bytes: later writers would create it.
    SetChipIniPath({});
    UserNotifier().MessageBox(kIniCreateFailedText);
    return;
  }
  const std::string folder = kChipIniFolder;
  const auto matches = platform::AppPaths::FindFiles(folder + name + "_*.ini");
  if (!matches.empty()) {
    SetChipIniPath(matches.front());
    ReportUnreadableChipIni(matches.front());
    return;
  }
  const std::filesystem::path path = platform::AppPaths::Resolve(folder + name + ".ini");
  SetChipIniPath(path);
  std::error_code ec;
  // An existing file holds the chip's saved settings: never truncate it.
  if (std::filesystem::is_regular_file(path, ec)) {
    ReportUnreadableChipIni(path);
    return;
  }
  if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
    // A FIFO, a folder or a link to nothing in its place: not ours to
    // replace. Readers take it as missing without waiting on it; writers
    // refuse it.
    UserNotifier().LogLine(kChipIniNotAFileText + path.string(), LOG_ERROR);
    return;
  }
  if (!platform::WriteFileAtomic(path, "")) UserNotifier().MessageBox(kIniCreateFailedText);
}

std::optional<std::filesystem::path> FindScFileFor(const std::string& chip) {
  if (!IsPlainFileName(chip)) return std::nullopt;
  const auto matches = platform::AppPaths::FindFiles(std::string(kCfgItemFolder) + chip + "_*.sc");
  if (matches.empty()) return std::nullopt;
  return matches.front();
}

void FindChipScFile() {
  if (const std::optional<std::filesystem::path> file = FindScFileFor(GetChipName())) {
    SetScFilePath(*file);
    return;
  }
  UserNotifier().MessageBox(std::string(kCfgScMissingText));
  SetScFilePath(kMissingScFileName);
}
