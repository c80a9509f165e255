#include "device/Latin1Text.h"

std::string Latin1ToUtf8(const uint8_t* text, size_t maxBytes) {
  std::string out;
  for (size_t i = 0; i < maxBytes && text[i] != 0; ++i) {
    const uint8_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}
