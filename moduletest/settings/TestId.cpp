#include "moduletest/settings/TestId.h"

#include <limits>

ParsedTestId ParseTestId(std::string_view text) {
  ParsedTestId parsed;
  uint64_t value = 0;
  constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  for (char c : text) {
    if (c < '0' || c > '9') break;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (kMax - digit) / 10) {
      parsed.valid = false;
      return parsed;
    }
    value = value * 10 + digit;
  }
  parsed.id = static_cast<int64_t>(value);
  return parsed;
}

XPattern ParseXPattern(std::string_view text) {
  XPattern pattern;
  if (text.empty()) return pattern;
  for (char c : text) {
    if (c != 'x' && c != 'X') return pattern;
  }
  pattern.matched = true;
  if (text.size() > 19) return pattern;
  int64_t minimum = 1;
  for (size_t i = 1; i < text.size(); ++i) minimum *= 10;
  pattern.minimum = minimum;
  return pattern;
}
