#pragma once
// Sample files for tests: frames of 16-bit little-endian values, written as
// the recorder writes them.

#include <cstdint>
#include <string>
#include <vector>

namespace samples_test {

inline std::string Frame16(const std::vector<int32_t>& values) {
  std::string bytes;
  for (int32_t v : values) {
    const uint16_t u = static_cast<uint16_t>(v);
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

inline std::string Frames16(const std::vector<std::vector<int32_t>>& frames) {
  std::string bytes;
  for (const auto& f : frames) bytes += Frame16(f);
  return bytes;
}

}  // namespace samples_test
