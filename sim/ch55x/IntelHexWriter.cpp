#include "sim/ch55x/IntelHexWriter.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

constexpr uint8_t kData = 0x00;
constexpr uint8_t kEndOfFile = 0x01;
constexpr uint8_t kExtendedLinear = 0x04;
constexpr size_t kBytesPerRecord = 16;
constexpr const char* kLineEnd = "\r\n";

}  // namespace

std::string HexRecord(uint8_t type, uint16_t offset, const std::vector<uint8_t>& data,
                      int checksumDelta) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()),
                                static_cast<uint8_t>(offset >> 8),
                                static_cast<uint8_t>(offset), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  bytes.push_back(static_cast<uint8_t>(-sum + checksumDelta));
  std::string text = ":";
  char digits[3];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    text += digits;
  }
  return text;
}

std::string HexEndOfFile() { return HexRecord(kEndOfFile, 0, {}); }

std::string ImageToIntelHex(const std::vector<uint8_t>& image) {
  std::string text;
  uint32_t upper = 0;
  for (size_t at = 0; at < image.size(); at += kBytesPerRecord) {
    if ((at >> 16) != upper) {
      upper = static_cast<uint32_t>(at >> 16);
      text += HexRecord(kExtendedLinear, 0,
                        {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)}) +
              kLineEnd;
    }
    const size_t n = std::min(kBytesPerRecord, image.size() - at);
    text += HexRecord(kData, static_cast<uint16_t>(at),
                      std::vector<uint8_t>(image.begin() + static_cast<std::ptrdiff_t>(at),
                                           image.begin() + static_cast<std::ptrdiff_t>(at + n))) +
            kLineEnd;
  }
  return text + HexEndOfFile() + kLineEnd;
}

}  // namespace sim
