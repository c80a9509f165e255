#include "device/HexStrToWord.h"

#include <algorithm>

uint16_t HexStrToWord(std::string text) {
  // ASCII only: bytes of multi-byte UTF-8 characters stay as they are and are
  // skipped below, whatever the process locale says.
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  });
  uint16_t value = 0;
  for (char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      continue;
    }
    value = static_cast<uint16_t>((value << 4) | digit);
  }
  return value;
}
