#pragma once
// The chip's noise area and the range of scanning frequencies the noise view
// shows. The area is 70 bytes: byte 5 is the frequency index the chip scans
// at, byte 6 + k the noise (0..255) it measured at index Start + k. An index
// i means a scan frequency of i x bit frequency / 1000 kHz.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

inline constexpr size_t kNoiseFrameBytes = 70;
inline constexpr size_t kNoiseFreqByte = 5;
inline constexpr size_t kNoiseLevelOffset = 6;
// Points the graph holds: the noise of at most 64 indices fits the area.
inline constexpr int kNoiseMaxPoints = 64;

inline constexpr int kDefaultNoiseStart = 20;
inline constexpr int kDefaultNoiseEnd = 70;
// Largest index a 16-bit item can hold.
inline constexpr int kMaxNoiseIndex = 0xFFFF;

struct NoiseRange {
  int start = kDefaultNoiseStart;
  int end = kDefaultNoiseEnd;

  int Count() const { return end - start + 1; }
  bool Contains(int index) const { return index >= start && index <= end; }
  bool operator==(const NoiseRange&) const = default;
};

// The range after loading it from the chip. The chip's Start is kept (its
// noise area is laid out from it) and End is held to Start + 63; only a
// negative Start, one beyond 16 bits or an End below Start falls back to
// 20..70. logLine says
// what changed (empty when nothing did).
struct CheckedNoiseRange {
  NoiseRange range;
  std::string logLine;
};
CheckedNoiseRange ValidateNoiseRange(int start, int end);

// Noise at index start + k of a 70-byte area (0 outside the area).
inline int NoiseLevel(std::span<const uint8_t> frame, int k) {
  const size_t at = kNoiseLevelOffset + static_cast<size_t>(k);
  return k >= 0 && at < frame.size() ? frame[at] : 0;
}
inline int NoiseFrequencyIndex(std::span<const uint8_t> frame) {
  return frame.size() > kNoiseFreqByte ? frame[kNoiseFreqByte] : 0;
}

// The kHz of an index: index x bit frequency / 1000.
inline double NoiseKHz(int index, int bitFreq) { return index * static_cast<double>(bitFreq) / 1000.0; }
