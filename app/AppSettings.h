#pragma once
// The main window's settings file, "..\System\AppConfigInit.ini": created
// empty when missing, then read once at start. Only the keys the window
// shows at start are read here; the register panel reads its own address
// list, and the commands that change a value write it back themselves.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/LogSink.h"

// The chip types offered when the file names none.
inline constexpr std::string_view kDefaultChipTypes = "RO9110V, RO9110R, RO7385";
// The networked device's usual address, shown until the file names another.
inline constexpr std::string_view kDefaultDeviceIp = "192.168.1.100";
inline constexpr int32_t kDefaultDevicePort = 5188;
// The relay server of the remote link has no usual address: until one is
// set the link cannot connect.
inline constexpr int32_t kDefaultServerPort = 3168;

// One of the three files of the update sequence.
struct UpdateFileSetting {
  std::string storedPath;     // the text as stored
  bool fileExists = false;    // it names an existing file (not a folder)
  std::string initialFolder;  // where its browse dialog starts
  bool enabled = false;       // the enable key is exactly "1"
};

struct AppSettings {
  // Top to bottom as the chip-type combo lists them: the stored order
  // reversed, each name without surrounding spaces, empty names left out.
  std::vector<std::string> chipTypes;
  std::array<uint8_t, 4> deviceIp{};  // the stored address when valid, else the default
  int32_t devicePort = kDefaultDevicePort;
  std::string serverIp;  // [NET INTERFACE] "Server IP": the relay server, empty when unset
  int32_t serverPort = kDefaultServerPort;  // "Server Port"
  UpdateFileSetting configFile;  // [UPDATE] "config path" / "config enable"
  UpdateFileSetting duvivFile;   // "duviv path" / "duviv enable"
  UpdateFileSetting v64erFile;   // "v64er path" / "v64er enable"
};

// The settings file, resolved against the runtime root.
std::filesystem::path AppSettingsFile();

// Creates an empty settings file when there is none. false (with a message)
// when it cannot be created, or when something other than a file is in its
// place.
bool EnsureSettingsFile(const std::filesystem::path& file, std::string* error = nullptr);

AppSettings LoadAppSettings(const std::filesystem::path& file);

// Writes keys of one section of the settings file in one atomic write, all or
// none. A failure is logged with its reason ("写入AppConfigInit.ini文件失败："),
// so a setting that did not stick is never passed over in silence.
bool StoreSettings(const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& keyValues,
                   const std::filesystem::path& file, ILogSink& log);

// Dotted IPv4 text "a.b.c.d", each part 1-3 decimal digits up to 255,
// surrounding spaces allowed; nullopt for anything else.
std::optional<std::array<uint8_t, 4>> ParseIpv4(std::string_view text);
std::string FormatIpv4(const std::array<uint8_t, 4>& address);

// The part of a stored path before its last separator ('\' or '/'); the
// whole text when it has none.
std::string FolderOfStoredPath(std::string_view path);
