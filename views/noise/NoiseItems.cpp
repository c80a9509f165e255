#include "views/noise/NoiseItems.h"

bool IsPeriodChip(const std::string& chip) {
  return chip == "RO7387" || chip == "RO7385" || chip == "RO7387Z";
}

int BitFreqFromItem(const std::string& chip, int value) {
  if (!IsPeriodChip(chip)) return value;
  return value == 0 ? 0 : 1000000 / value;
}

std::string OpeningThresholdItem(const std::string& chip) {
  if (chip == "RO9110V" || chip == "RO911") return "Noise_Threshold";
  if (chip == "RO9110R" || chip == "RO6108D") return "Hop_Threshold";
  return "Slow_Hoppging_Threshold";
}

std::string HopThresholdItem(const std::string& chip) {
  return chip == "RO9110V" ? "Noise_Threshold" : "Hop_Threshold";
}

std::array<std::string, 11> SegmentItems(const std::string& chip) {
  std::array<std::string, 11> items;
  const bool period = IsPeriodChip(chip);
  for (int i = 0; i < 6; ++i) {
    const std::string n = std::to_string(i + 1);
    items[static_cast<size_t>(2 * i)] = period ? "NoiseNormal" + n : "Seg" + n + "_Normalize";
    if (i < 5) items[static_cast<size_t>(2 * i + 1)] = period ? "SegFactor" + n : "Seg" + n + "_Factor";
  }
  return items;
}
