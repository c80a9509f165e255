#include "device/net/LinkKey.h"

#include <array>

#include "platform/HexDigit.h"
#include "platform/TextTrim.h"

void UnmaskLinkBytes(uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    data[i] = static_cast<uint8_t>(static_cast<uint8_t>(~data[i]) - 5 * i);
  }
}

std::optional<uint32_t> ParseLinkKey(std::string_view key) {
  std::array<uint8_t, 5> bytes{};
  size_t at = 0;
  for (uint8_t& byte : bytes) {
    while (at < key.size() && platform::kAsciiBlanks.find(key[at]) != std::string_view::npos) ++at;
    if (key.size() - at < 2) return std::nullopt;
    const int high = platform::HexDigitValue(key[at]);
    const int low = platform::HexDigitValue(key[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    byte = static_cast<uint8_t>(high << 4 | low);
    at += 2;
  }
  if (!platform::TrimChars(key.substr(at), platform::kAsciiBlanks).empty()) return std::nullopt;
  UnmaskLinkBytes(bytes.data(), bytes.size());
  return bytes[4];
}
