#include "device/ChipGlobals.h"

#include <mutex>

std::atomic<CHidDevice*> g_pBridgeDevice{nullptr};
std::atomic<CHidDevice*> g_pTouchHidDevice{nullptr};
std::atomic<uint16_t> g_wSyncFlagAddr{kDefaultSyncFlagAddr};
std::atomic<bool> g_bDigitizerDisabled{false};

namespace {

// One lock for every chip text: each accessor holds it only for the copy.
std::mutex g_chipTextMutex;
std::string g_chipName;
std::string g_chipNameVersion;
std::filesystem::path g_chipIniPath;
std::filesystem::path g_scFilePath;
std::filesystem::path g_testIniPath;

template <typename T>
T Load(const T& value) {
  std::lock_guard lock(g_chipTextMutex);
  return value;
}

template <typename T>
void Store(T& target, T value) {
  std::lock_guard lock(g_chipTextMutex);
  target = std::move(value);
}

}  // namespace

std::string GetChipName() { return Load(g_chipName); }
void SetChipName(std::string name) { Store(g_chipName, std::move(name)); }

std::string GetChipNameVersion() { return Load(g_chipNameVersion); }
void SetChipNameVersion(std::string nameVersion) {
  Store(g_chipNameVersion, std::move(nameVersion));
}

std::filesystem::path GetChipIniPath() { return Load(g_chipIniPath); }
void SetChipIniPath(std::filesystem::path path) { Store(g_chipIniPath, std::move(path)); }

std::filesystem::path GetScFilePath() { return Load(g_scFilePath); }
void SetScFilePath(std::filesystem::path path) { Store(g_scFilePath, std::move(path)); }

std::filesystem::path GetTestIniPath() { return Load(g_testIniPath); }
void SetTestIniPath(std::filesystem::path path) { Store(g_testIniPath, std::move(path)); }
