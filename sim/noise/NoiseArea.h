#pragma once
// The simulated chip's noise measurement and frequency hopping.
//
// The noise area (70 bytes at the chip INI's [Hopping] "NoiseDataAddr"):
// byte 5 is the frequency index the chip scans at, byte 6 + k the noise
// (0..255) at index HopFreqStart + k. The levels follow a seeded profile: a
// quiet floor of 10..30 with +-5 of jitter, a noisy band, an occasional spike
// to 255 and quiet spells, so a graph has something to scale to.
//
// The chip's hopping settings are items of its configuration block (their
// places are `NoiseItemLayout`): with "HoppingEn" 0 or the hop threshold at
// 255 the chip scans at "FactorA"; otherwise it leaves a frequency whose
// noise rises above the threshold for the quietest one of the range.
//
// Raw frames follow the scan frequency: each node is the profile's raw level
// of that index plus a fixed spread (-50, 0, +50 in turn, so the average is
// exactly the level), or, when the chip has a data plane, the panel's raw
// frame moved by the level's distance from 2000.
//
// Thread-safe: everything runs under the chip's lock.

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/ChipBehaviour.h"
#include "sim/ChipFamily.h"
#include "sim/DataPlaneConfig.h"

namespace sim {

class DataPlane;
class SimChip;

// Where the hopping items lie (register of the low byte) and what the chip
// holds in them at power-on. The staged ".sc" files describe the same items.
struct NoiseItem {
  const char* name;
  uint16_t address;
  int width;  // 8, or 16 for a value over two registers (low byte first)
  int value;
};

struct NoiseItemLayout {
  NoiseItem bitFreq;
  NoiseItem hopStart;
  NoiseItem hopEnd;
  // The threshold read when the noise view opens, and the one the chip
  // obeys (the one a manual hop overwrites); the same item on RU9 chips.
  NoiseItem openingThreshold;
  NoiseItem hopThreshold;
  NoiseItem dualFreq;
  NoiseItem factorA;
  NoiseItem factorB;
  NoiseItem hoppingEn;
  std::array<NoiseItem, 11> segments;  // Seg1 Normal, Seg1 Factor, ..., Seg6 Normal

  // Every item once (RU9: the two thresholds are one).
  std::vector<NoiseItem> All() const;

  // RU9 (RO9110V): block 0x8047, items from byte 40, bit frequency 3000.
  // DE7 (RO7387Z): block 0x8050, items from byte 40, a period of 250 (4 MHz).
  static NoiseItemLayout For(ChipFamily family);
};

inline constexpr uint16_t kSimNoiseAddress = 0xC6E6;
inline constexpr size_t kSimNoiseBytes = 70;
inline constexpr int kSimFrequencies = 256;

struct NoiseAreaConfig {
  uint16_t address = kSimNoiseAddress;
  NoiseItemLayout items;
  uint16_t cfgBase = 0x8047;
  size_t cfgLength = 186;
  // Puts the item values into the configuration block (and seals its sums)
  // at attach.
  bool seedConfig = true;

  // Noise floor per frequency index, jitter around it, and the time effects
  // (in reads of the area; 0 switches one off).
  std::array<uint8_t, kSimFrequencies> noiseFloor{};
  int jitter = 5;
  int spikeEvery = 150;
  int quietEvery = 600;
  int quietLength = 120;
  uint32_t seed = 7;

  // Average raw value per frequency index.
  std::array<int32_t, kSimFrequencies> rawLevel{};
  FrameFormat raw;

  // The family's items, a noisy band at 40..43 (150..250) and raw levels of
  // 2000 (indices up to 30), 2300 (up to 45) and 2900 (above).
  static NoiseAreaConfig For(ChipFamily family);
};

class NoiseArea : public ChipBehaviour {
 public:
  // dataPlane (may be null, must outlive the chip) gives the raw frames
  // their touches; while it is suspended (the chip runs its open/short
  // program) the noise and raw areas read as the chip's memory.
  explicit NoiseArea(NoiseAreaConfig config, const DataPlane* dataPlane = nullptr);

  void Attach(SimChip& chip) override;
  void OnReset(SimChip& chip) override;

  const NoiseAreaConfig& Config() const { return config_; }
  // The index the chip scans at now (byte 5 of the next read).
  int ScanIndex(SimChip& chip);
  // Every index the chip was told to scan at by "FactorA" with hopping off,
  // in order of the raw frames read (the auto-adjust's sweep; the last 4096).
  std::vector<int> RawFrameIndices() const;
  uint64_t NoiseReads() const;

 private:
  int ItemValue(const SimChip& chip, const NoiseItem& item) const;
  void FillNoise(SimChip& chip, uint8_t* out);
  void FillRaw(SimChip& chip, size_t offset, uint8_t* out, size_t count);
  // While the data plane is suspended the areas read as the chip's memory;
  // true when `out` was filled that way.
  bool ReadsAsMemory(SimChip& chip, uint16_t base, size_t offset, uint8_t* out,
                     size_t count) const;

  const NoiseAreaConfig config_;
  const DataPlane* const dataPlane_;
  mutable std::mutex mutex_;  // taken after the chip's lock, never before
  int current_ = -1;  // the frequency the chip hopped to; -1: FactorA
  int lastFactorA_ = -1;
  uint64_t reads_ = 0;
  std::array<uint8_t, kSimNoiseBytes> frame_{};
  std::vector<int> rawIndices_;
  SimChip* chip_ = nullptr;
};

// Adds the noise area to the chip (which owns it).
NoiseArea& AddNoiseArea(SimChip& chip, NoiseAreaConfig config,
                        const DataPlane* dataPlane = nullptr);

}  // namespace sim
