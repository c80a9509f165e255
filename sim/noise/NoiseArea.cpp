#include "sim/noise/NoiseArea.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "sim/ConfigBehaviour.h"
#include "sim/DataPlane.h"
#include "sim/SimChip.h"
#include "sim/ValueEncoding.h"

namespace sim {

namespace {

constexpr size_t kFreqByte = 5;
constexpr size_t kLevelOffset = 6;
constexpr int kMaxPoints = 64;
constexpr int kHopOff = 255;
// The spread around a raw level: -50, 0, +50 in turn.
constexpr int32_t kRawSpread = 50;
// The data plane's raw baseline, which the levels are counted from.
constexpr int32_t kPanelBaseline = 2000;
constexpr size_t kMaxRawIndices = 4096;

uint32_t Mix(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t x = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 1u) * 0xC2B2AE3Du;
  x ^= x >> 15;
  x *= 0x2C1B3C6Du;
  x ^= x >> 12;
  return x;
}

NoiseItem Item(const char* name, uint16_t base, int offset, int width, int value) {
  return {name, static_cast<uint16_t>(base + offset), width, value};
}

}  // namespace

std::vector<NoiseItem> NoiseItemLayout::All() const {
  std::vector<NoiseItem> all = {bitFreq, hopStart, hopEnd, openingThreshold};
  if (hopThreshold.address != openingThreshold.address) all.push_back(hopThreshold);
  for (const NoiseItem& item : {dualFreq, factorA, factorB, hoppingEn}) all.push_back(item);
  all.insert(all.end(), segments.begin(), segments.end());
  return all;
}

NoiseItemLayout NoiseItemLayout::For(ChipFamily family) {
  NoiseItemLayout l;
  const bool de7 = family == ChipFamily::DE7;
  const uint16_t base = de7 ? 0x8050 : 0x8047;
  l.bitFreq = Item("BitFreq", base, 40, 16, de7 ? 250 : 3000);
  l.hopStart = Item("HopFreqStart", base, 42, 8, 20);
  l.hopEnd = Item("HopFreqEnd", base, 43, 8, 70);
  if (de7) {
    l.openingThreshold = Item("Slow_Hoppging_Threshold", base, 44, 8, 60);
    l.hopThreshold = Item("Hop_Threshold", base, 45, 8, 60);
  } else {
    l.openingThreshold = Item("Noise_Threshold", base, 44, 8, 60);
    l.hopThreshold = l.openingThreshold;
  }
  l.dualFreq = Item("DualFreq", base, 46, 8, de7 ? 0 : 1);
  l.factorA = Item("FactorA", base, 47, 8, 35);
  l.factorB = Item("FactorB", base, 48, 8, 37);
  l.hoppingEn = Item("HoppingEn", base, 49, 8, 1);
  static const char* const kPeriodNames[11] = {
      "NoiseNormal1", "SegFactor1", "NoiseNormal2", "SegFactor2", "NoiseNormal3", "SegFactor3",
      "NoiseNormal4", "SegFactor4", "NoiseNormal5", "SegFactor5", "NoiseNormal6"};
  static const char* const kNames[11] = {
      "Seg1_Normalize", "Seg1_Factor", "Seg2_Normalize", "Seg2_Factor",
      "Seg3_Normalize", "Seg3_Factor", "Seg4_Normalize", "Seg4_Factor",
      "Seg5_Normalize", "Seg5_Factor", "Seg6_Normalize"};
  static const int kValues[11] = {128, 30, 120, 40, 110, 50, 100, 60, 96, 65, 90};
  for (int i = 0; i < 11; ++i) {
    l.segments[static_cast<size_t>(i)] =
        Item(de7 ? kPeriodNames[i] : kNames[i], base, 50 + i, 8, kValues[i]);
  }
  return l;
}

NoiseAreaConfig NoiseAreaConfig::For(ChipFamily family) {
  NoiseAreaConfig c;
  c.items = NoiseItemLayout::For(family);
  const ConfigPersonality block = ConfigPersonality::For(family);
  c.cfgBase = block.base;
  c.cfgLength = block.length;
  c.raw = DataPlaneConfig::For(family).raw;
  for (int i = 0; i < kSimFrequencies; ++i) {
    const auto u = static_cast<size_t>(i);
    c.noiseFloor[u] = static_cast<uint8_t>(10 + Mix(c.seed, 0, static_cast<uint32_t>(i)) % 21);
    if (i >= 40 && i <= 43) {
      c.noiseFloor[u] = static_cast<uint8_t>(150 + Mix(c.seed, 1, static_cast<uint32_t>(i)) % 101);
    }
    c.rawLevel[u] = i <= 30 ? 2000 : i <= 45 ? 2300 : 2900;
  }
  return c;
}

NoiseArea::NoiseArea(NoiseAreaConfig config, const DataPlane* dataPlane)
    : config_(std::move(config)), dataPlane_(dataPlane) {}

void NoiseArea::Attach(SimChip& chip) {
  chip_ = &chip;
  if (config_.seedConfig && config_.cfgLength > 0) {
    for (const NoiseItem& item : config_.items.All()) {
      std::vector<uint8_t> bytes = {static_cast<uint8_t>(item.value)};
      if (item.width > 8) bytes.push_back(static_cast<uint8_t>(item.value >> 8));
      chip.SetPowerOnBytes(item.address, bytes);
    }
    std::vector<uint8_t> block = chip.PeekRange(config_.cfgBase, config_.cfgLength);
    SealStoredConfig(chip.Family(), block);
    chip.SetPowerOnBytes(config_.cfgBase, block);
  }
  chip.SetFrameSource(config_.address, kSimNoiseBytes,
                      [this, &chip](size_t offset, uint8_t* out, size_t count) {
                        if (ReadsAsMemory(chip, config_.address, offset, out, count)) return;
                        if (offset == 0) FillNoise(chip, frame_.data());
                        std::memcpy(out, frame_.data() + offset,
                                    std::min(count, kSimNoiseBytes - offset));
                      });
  chip.SetFrameSource(config_.raw.address, config_.raw.Bytes(),
                      [this, &chip](size_t offset, uint8_t* out, size_t count) {
                        if (ReadsAsMemory(chip, config_.raw.address, offset, out, count)) return;
                        FillRaw(chip, offset, out, count);
                      });
}

bool NoiseArea::ReadsAsMemory(SimChip& chip, uint16_t base, size_t offset, uint8_t* out,
                              size_t count) const {
  // The open/short program runs from the memory under these areas.
  if (dataPlane_ == nullptr || !dataPlane_->Suspended()) return false;
  const std::vector<uint8_t> bytes = chip.PeekRange(static_cast<uint16_t>(base + offset), count);
  std::copy(bytes.begin(), bytes.end(), out);
  return true;
}

void NoiseArea::OnReset(SimChip& chip) {
  (void)chip;
  std::lock_guard lock(mutex_);
  current_ = -1;
}

int NoiseArea::ItemValue(const SimChip& chip, const NoiseItem& item) const {
  int value = chip.Peek(item.address);
  if (item.width > 8) value |= chip.Peek(static_cast<uint16_t>(item.address + 1)) << 8;
  return value;
}

int NoiseArea::ScanIndex(SimChip& chip) {
  const NoiseItemLayout& items = config_.items;
  const int start = ItemValue(chip, items.hopStart);
  const int end = std::max(start, ItemValue(chip, items.hopEnd));
  const int factorA = ItemValue(chip, items.factorA);
  const bool fixed =
      ItemValue(chip, items.hoppingEn) == 0 || ItemValue(chip, items.hopThreshold) == kHopOff;
  const int threshold = ItemValue(chip, items.hopThreshold);
  std::lock_guard lock(mutex_);
  if (fixed) {
    current_ = -1;
    lastFactorA_ = factorA;
    return factorA;
  }
  // A new FactorA (a configuration send) moves the chip there first.
  if (current_ < 0 || factorA != lastFactorA_) current_ = factorA;
  lastFactorA_ = factorA;
  const auto floorOf = [this](int index) {
    return index >= 0 && index < kSimFrequencies ? config_.noiseFloor[static_cast<size_t>(index)]
                                                 : 255;
  };
  if (floorOf(current_) > threshold) {
    int best = start;
    for (int f = start; f <= std::min(end, start + kMaxPoints - 1); ++f) {
      if (floorOf(f) < floorOf(best)) best = f;
    }
    current_ = best;
  }
  return current_;
}

void NoiseArea::FillNoise(SimChip& chip, uint8_t* out) {
  const int start = ItemValue(chip, config_.items.hopStart);
  const int end = std::max(start, ItemValue(chip, config_.items.hopEnd));
  const int n = std::min(end - start + 1, kMaxPoints);
  const int scan = ScanIndex(chip);
  std::lock_guard lock(mutex_);
  const uint64_t read = ++reads_;
  std::memset(out, 0, kSimNoiseBytes);
  out[kFreqByte] = static_cast<uint8_t>(scan);
  const bool quiet = config_.quietEvery > 0 &&
                     static_cast<int>(read % static_cast<uint64_t>(config_.quietEvery)) <
                         config_.quietLength;
  const int spikeAt = config_.spikeEvery > 0 && read % static_cast<uint64_t>(config_.spikeEvery) == 0
                          ? static_cast<int>((read / static_cast<uint64_t>(config_.spikeEvery)) %
                                             static_cast<uint64_t>(n))
                          : -1;
  for (int k = 0; k < n; ++k) {
    const int index = start + k;
    int level = index < kSimFrequencies ? config_.noiseFloor[static_cast<size_t>(index)] : 0;
    if (config_.jitter > 0) {
      const uint32_t h = Mix(config_.seed, static_cast<uint32_t>(read), static_cast<uint32_t>(index));
      level += static_cast<int>(h % static_cast<uint32_t>(2 * config_.jitter + 1)) - config_.jitter;
    }
    if (quiet) level /= 4;
    if (k == spikeAt) level = 255;
    out[kLevelOffset + static_cast<size_t>(k)] = static_cast<uint8_t>(std::clamp(level, 0, 255));
  }
}

void NoiseArea::FillRaw(SimChip& chip, size_t offset, uint8_t* out, size_t count) {
  const int scan = ScanIndex(chip);
  const int32_t level =
      scan >= 0 && scan < kSimFrequencies ? config_.rawLevel[static_cast<size_t>(scan)] : 0;
  if (offset == 0) {
    std::lock_guard lock(mutex_);
    // Bounded: the raw page of a long demo run reads here too.
    if (rawIndices_.size() >= kMaxRawIndices) rawIndices_.erase(rawIndices_.begin());
    rawIndices_.push_back(scan);
  }
  const FrameFormat& raw = config_.raw;
  std::vector<int32_t> panel;
  if (dataPlane_ != nullptr) panel = dataPlane_->RawFrame(chip.FrameCounter());
  const size_t width = raw.valueBytes;
  for (size_t i = 0; i < count; ++i) {
    const size_t at = offset + i;
    const size_t node = at / width;
    int32_t value = level + (static_cast<int32_t>(node % 3) - 1) * kRawSpread;
    if (node < panel.size()) value = panel[node] + level - kPanelBaseline;
    uint8_t bytes[4] = {};
    EncodeValue(FitValue(value, raw.valueBytes, raw.isSigned), raw.valueBytes, raw.littleEndian,
                bytes);
    out[i] = bytes[at % width];
  }
}

std::vector<int> NoiseArea::RawFrameIndices() const {
  std::lock_guard lock(mutex_);
  return rawIndices_;
}

uint64_t NoiseArea::NoiseReads() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

NoiseArea& AddNoiseArea(SimChip& chip, NoiseAreaConfig config, const DataPlane* dataPlane) {
  auto behaviour = std::make_unique<NoiseArea>(std::move(config), dataPlane);
  NoiseArea& ref = *behaviour;
  chip.AddBehaviour(std::move(behaviour));
  return ref;
}

}  // namespace sim
