#include "moduletest/engine/ShortMaps.h"

#include <algorithm>
#include <numeric>
#include <span>

#include "device/ChipGlobals.h"
#include "device/config/Config.h"
#include "device/HexStrToWord.h"
#include "platform/files/IniFile.h"

namespace {

// Where a map of `entries` bytes starts inside the block, when it lies
// within the block's length.
std::optional<size_t> MapStart(const CConfig& cfg, uint16_t mapAddress, uint16_t cfgAddress,
                               size_t entries) {
  if (mapAddress < cfgAddress) return std::nullopt;
  const size_t start = mapAddress - cfgAddress;
  const int length = std::min<int>(cfg.CfgLength(), static_cast<int>(CConfig::kBlockBytes));
  if (length <= 0 || start + entries > static_cast<size_t>(length)) return std::nullopt;
  return start;
}

// One table of the DE7 family (the layout of both passes is the same except
// where the second pass starts in the map).
std::vector<int> BuildTable(const std::vector<int32_t>& list, std::span<const uint8_t> map,
                            int half, int maxNum, size_t secondStart, size_t cap) {
  std::vector<int> table;
  const int listSize = static_cast<int>(list.size());
  half = std::clamp(half, 0, listSize);
  maxNum = std::clamp(maxNum, half, listSize);
  auto find = [&](uint8_t x, int from, int to) -> std::optional<int> {
    for (int m = from; m < to; ++m) {
      if (list[static_cast<size_t>(m)] == x) return m;
    }
    return std::nullopt;
  };
  for (int e = 0; e < half && static_cast<size_t>(e) < map.size() && table.size() < cap; ++e) {
    const uint8_t x = map[static_cast<size_t>(e)];
    if (x == 0xFF) continue;
    if (auto m = find(x, 0, half)) table.push_back(half + *m);
  }
  for (int n = 0; n < maxNum - half && table.size() < cap; ++n) {
    const size_t e = secondStart + static_cast<size_t>(n);
    if (e >= map.size()) break;
    const uint8_t x = map[e];
    if (x == 0xFF) continue;
    if (auto m = find(x, half, maxNum)) table.push_back(*m - half);
  }
  return table;
}

// First drive-map entry of the second half in the DE7 block.
constexpr size_t kDe7SecondDriveHalf = 23;

}  // namespace

uint16_t ShortIniAddress(const char* section, const char* key, const char* fallback) {
  return HexStrToWord(platform::IniGetString(section, key, fallback, GetChipIniPath()));
}

ShortMapsA::ShortMapsA() {
  std::iota(drive.begin(), drive.end(), uint8_t{0});
  std::iota(sense.begin(), sense.end(), uint8_t{0});
}

ShortMapsA ShortMapsA::From(const CConfig* backup) {
  ShortMapsA maps;
  if (backup == nullptr) return maps;
  const uint16_t cfgAddress = ShortIniAddress("Cfg", "CFGAddr", "0x8047");
  const uint16_t driveAddress = ShortIniAddress("BasicData", "DrvStartAddr", "0x80d5");
  const uint16_t senseAddress = ShortIniAddress("BasicData", "SenStartAddr", "0x80B7");
  const auto block = backup->Block();
  if (auto start = MapStart(*backup, driveAddress, cfgAddress, kDrive)) {
    std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(*start), kDrive, maps.drive.begin());
  }
  if (auto start = MapStart(*backup, senseAddress, cfgAddress, kSense)) {
    std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(*start), kSense, maps.sense.begin());
  }
  maps.fromBackup = true;
  return maps;
}

int ShortMapsA::PanelDrive(int d) const {
  const int wanted = d >= 26 ? d + 1 : d;
  for (size_t p = 0; p < kDrive; ++p) {
    if (drive[p] == wanted) return static_cast<int>(p);
  }
  return kNoPanelChannel;
}

int ShortMapsA::PanelSense(int s) const {
  for (size_t p = 0; p < kSense; ++p) {
    if (sense[p] == s) return static_cast<int>(p);
  }
  return kNoPanelChannel;
}

ShortTablesB ShortTablesB::From(CConfig* backup) {
  ShortTablesB tables;
  if (backup == nullptr) return tables;
  CConfig& cfg = *backup;
  const uint16_t cfgAddress = ShortIniAddress("Cfg", "CFGAddr", "0x8050");
  const uint16_t driveAddress = ShortIniAddress("BasicData", "DrvStartAddr", "0x8171");
  const uint16_t senseAddress = ShortIniAddress("BasicData", "SenStartAddr", "0x8127");
  const auto block = backup->Block();
  const int length = std::clamp(backup->CfgLength(), 0, static_cast<int>(CConfig::kBlockBytes));
  auto mapAt = [&](uint16_t address) -> std::span<const uint8_t> {
    if (address < cfgAddress || address - cfgAddress >= length) return {};
    const size_t start = address - cfgAddress;
    return block.subspan(start, static_cast<size_t>(length) - start);
  };
  tables.sense = BuildTable(cfg.SenseChannels(), mapAt(senseAddress), backup->SenHalfNumber(),
                            backup->SenMaxNum(),
                            static_cast<size_t>(std::max(0, backup->SenHalfNumber())), kMaxSense);
  tables.drive = BuildTable(cfg.DriveChannels(), mapAt(driveAddress), backup->DrvHalfNumber(),
                            backup->DrvMaxNum(), kDe7SecondDriveHalf, kMaxDrive);
  return tables;
}

std::optional<int> ShortTablesB::Position(const std::vector<int>& table, int channel) {
  const auto it = std::find(table.begin(), table.end(), channel);
  if (it == table.end()) return std::nullopt;
  return static_cast<int>(it - table.begin());
}
