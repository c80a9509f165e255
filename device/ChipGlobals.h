#pragma once
// Process-wide chip state shared by the worker threads and the UI. Plain
// values are atomics; texts and paths are read and written as copies under a
// lock.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

class CHidDevice;

// The bridge's command interface (every register call goes through it) and
// its digitizer interface (never opened). Owned by the main window.
extern std::atomic<CHidDevice*> g_pBridgeDevice;
extern std::atomic<CHidDevice*> g_pTouchHidDevice;

// Register of the chip's frame-ready flag.
inline constexpr uint16_t kDefaultSyncFlagAddr = 0x814E;
extern std::atomic<uint16_t> g_wSyncFlagAddr;

extern std::atomic<bool> g_bDigitizerDisabled;

// Name of the identified chip ("RO9110V"), a family placeholder ("RO9XXX",
// "RO7XXX"), or empty before the first identification.
std::string GetChipName();
void SetChipName(std::string name);

// Chip name + "_" + firmware version text; firmware files are matched
// against it.
std::string GetChipNameVersion();
void SetChipNameVersion(std::string nameVersion);

// The current chip's INI file.
std::filesystem::path GetChipIniPath();
void SetChipIniPath(std::filesystem::path path);

// The current chip's configuration item (.sc) file; kMissingScFileName when
// the chip has none.
inline constexpr const char* kMissingScFileName = "DUviv_.sc";
std::filesystem::path GetScFilePath();
void SetScFilePath(std::filesystem::path path);

// The module test's current test INI file.
std::filesystem::path GetTestIniPath();
void SetTestIniPath(std::filesystem::path path);
