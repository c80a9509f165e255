#pragma once
// Intel HEX records for tests, with their checksums computed.

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace hextest {

// One record without its line end; `checksumDelta` spoils the checksum.
inline std::string Record(uint8_t type, uint16_t offset, const std::vector<uint8_t>& data,
                          int checksumDelta = 0) {
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

inline std::string Eof() { return Record(0x01, 0, {}); }

// An image as HEX text: 16-byte data records with 04 records where the
// upper address changes, CR LF line ends.
inline std::string ImageToHex(const std::vector<uint8_t>& image) {
  std::string text;
  uint32_t upper = 0;
  for (size_t at = 0; at < image.size(); at += 16) {
    if ((at >> 16) != upper) {
      upper = static_cast<uint32_t>(at >> 16);
      text += Record(0x04, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)}) +
              "\r\n";
    }
    const size_t n = std::min<size_t>(16, image.size() - at);
    text += Record(0x00, static_cast<uint16_t>(at),
                   std::vector<uint8_t>(image.begin() + at, image.begin() + at + n)) +
            "\r\n";
  }
  return text + Eof() + "\r\n";
}

}  // namespace hextest
