#pragma once
// printf-style log lines (the texts keep their %d placeholders as the
// operator's tools know them).

#include <cstdio>
#include <string>

template <typename... Args>
std::string LineText(const char* pattern, Args... args) {
  char buffer[256];
  const int n = std::snprintf(buffer, sizeof buffer, pattern, args...);
  if (n < 0) return {};
  return std::string(
      buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
}
