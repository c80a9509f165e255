#include "app/AppSettings.h"

#include <algorithm>
#include <system_error>

#include "device/chip/ChipIdentify.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/IniFile.h"
#include "platform/TextTrim.h"

namespace fs = std::filesystem;

namespace {

UpdateFileSetting LoadUpdateFile(const fs::path& ini, const char* pathKey, const char* enableKey) {
  UpdateFileSetting setting;
  setting.storedPath = platform::IniGetString("UPDATE", pathKey, "", ini);
  if (!setting.storedPath.empty()) {
    std::error_code ec;
    setting.fileExists = fs::is_regular_file(platform::AppPaths::Resolve(setting.storedPath), ec);
  }
  setting.initialFolder = FolderOfStoredPath(setting.storedPath);
  setting.enabled = platform::IniGetString("UPDATE", enableKey, "", ini) == "1";
  return setting;
}

}  // namespace

fs::path AppSettingsFile() { return platform::AppPaths::Resolve(kAppConfigIniText); }

bool EnsureSettingsFile(const fs::path& file, std::string* error) {
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (fs::is_regular_file(status)) return true;
  if (fs::exists(status)) {
    if (error) *error = file.string() + " is not a file";
    return false;
  }
  return platform::WriteFileAtomic(file, "", error);
}

AppSettings LoadAppSettings(const fs::path& file) {
  AppSettings settings;
  const std::string chipList =
      platform::IniGetString(kChipListSection, kChipListKey, std::string(kDefaultChipTypes), file);
  for (const std::string& piece : SplitByComma(chipList)) {
    const std::string_view name = platform::TrimChars(piece);
    if (!name.empty()) settings.chipTypes.insert(settings.chipTypes.begin(), std::string(name));
  }

  const std::string ip =
      platform::IniGetString("NET INTERFACE", "IP", std::string(kDefaultDeviceIp), file);
  settings.deviceIp = ParseIpv4(ip).value_or(*ParseIpv4(kDefaultDeviceIp));
  settings.devicePort = platform::IniGetInt("NET INTERFACE", "Port", kDefaultDevicePort, file);
  settings.serverIp = platform::IniGetString("NET INTERFACE", "Server IP", "", file);
  settings.serverPort =
      platform::IniGetInt("NET INTERFACE", "Server Port", kDefaultServerPort, file);

  settings.configFile = LoadUpdateFile(file, "config path", "config enable");
  settings.duvivFile = LoadUpdateFile(file, "duviv path", "duviv enable");
  settings.v64erFile = LoadUpdateFile(file, "v64er path", "v64er enable");
  return settings;
}

std::optional<std::array<uint8_t, 4>> ParseIpv4(std::string_view text) {
  text = platform::TrimChars(text);
  std::array<uint8_t, 4> address{};
  for (size_t part = 0; part < address.size(); ++part) {
    const size_t end = part + 1 < address.size() ? text.find('.') : text.size();
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view digits = text.substr(0, end);
    if (digits.empty() || digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return std::nullopt;
    }
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    if (value > 255) return std::nullopt;
    address[part] = static_cast<uint8_t>(value);
    text.remove_prefix(std::min(text.size(), end + 1));
  }
  return address;
}

std::string FormatIpv4(const std::array<uint8_t, 4>& address) {
  return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
         std::to_string(address[2]) + "." + std::to_string(address[3]);
}

std::string FolderOfStoredPath(std::string_view path) {
  const size_t cut = path.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(0, cut));
}

bool StoreSettings(const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& keyValues,
                   const std::filesystem::path& file, ILogSink& log) {
  std::string error;
  if (platform::IniWriteStrings(section, keyValues, file, &error)) return true;
  log.AddLog("写入AppConfigInit.ini文件失败：" + error, LOG_ERROR);
  return false;
}
