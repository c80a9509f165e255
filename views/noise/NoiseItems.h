#pragma once
// Which configuration items carry a chip's frequency-hopping settings. The
// names differ by chip: the RO7387 family keeps the bit frequency as a
// period and names its segments "NoiseNormal"/"SegFactor"; the others
// "segN_Normalize"/"segN_Factor". Item keys match without regard to case.

#include <array>
#include <string>

inline constexpr const char* kBitFreqItem = "BitFreq";
inline constexpr const char* kHopStartItem = "HopFreqStart";
inline constexpr const char* kHopEndItem = "HopFreqEnd";
inline constexpr const char* kDualFreqItem = "DualFreq";
inline constexpr const char* kFactorAItem = "FactorA";
inline constexpr const char* kFactorBItem = "FactorB";
inline constexpr const char* kHoppingEnItem = "HoppingEn";
// The hop threshold value that keeps the chip on the frequency it was given.
inline constexpr int kManualHopThreshold = 255;

// "RO7387", "RO7385", "RO7387Z".
bool IsPeriodChip(const std::string& chip);
// The bit frequency from the "BitFreq" item: a period (1000000 / value, 0
// for 0) on period chips, else the value itself.
int BitFreqFromItem(const std::string& chip, int value);
// The threshold read when the view opens.
std::string OpeningThresholdItem(const std::string& chip);
// The threshold a manual hop overwrites (only "RO9110V" uses
// "Noise_Threshold"; every other chip "Hop_Threshold").
std::string HopThresholdItem(const std::string& chip);
// The eleven segment items in edit order (Seg1 Normal, Seg1 Factor, ...,
// Seg6 Normal).
std::array<std::string, 11> SegmentItems(const std::string& chip);
