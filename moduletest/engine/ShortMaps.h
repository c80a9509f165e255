#pragma once
// Channel numbers of the open/short test: the chip names drive (Tx) and sense
// (Rx) channels by its own numbers, the operator by the panel's. The maps
// come from the backup of the chip's configuration block taken before the
// test; without one the chip's numbers are the panel's.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CConfig;

// "Not in the map".
inline constexpr int kNoPanelChannel = 255;

// The family whose configuration starts at 0x8047: 42 drive and 30 sense
// entries, chip number per panel position.
struct ShortMapsA {
  static constexpr size_t kDrive = 42;
  static constexpr size_t kSense = 30;
  std::array<uint8_t, kDrive> drive{};
  std::array<uint8_t, kSense> sense{};
  bool fromBackup = false;

  // Identity maps.
  ShortMapsA();
  // The maps inside the backup's block at [BasicData] "DrvStartAddr" /
  // "SenStartAddr" minus [Cfg] "CFGAddr" of the chip INI (defaults 0x80d5,
  // 0x80B7, 0x8047); identity for a map that does not lie inside CfgLength,
  // and for both without a backup.
  static ShortMapsA From(const CConfig* backup);

  // Panel number of chip drive channel d (the chip's numbering skips 26).
  int PanelDrive(int d) const;
  int PanelSense(int s) const;
};

// The DE7 family: chip channel -> panel position tables built from the
// backup's channel lists, half numbers and maps (INI defaults 0x8171,
// 0x8127, 0x8050). Empty without a backup.
struct ShortTablesB {
  static constexpr size_t kMaxSense = 72;
  static constexpr size_t kMaxDrive = 44;
  std::vector<int> sense;
  std::vector<int> drive;

  static ShortTablesB From(CConfig* backup);
  // Position of the first match, or std::nullopt.
  static std::optional<int> Position(const std::vector<int>& table, int channel);
};

// A chip-INI address text of either section, parsed as hexadecimal.
uint16_t ShortIniAddress(const char* section, const char* key, const char* fallback);
