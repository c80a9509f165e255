#include "device/HexStrToWord.h"

#include "platform/HexDigit.h"

uint16_t HexStrToWord(std::string text) {
  // ASCII digits only: bytes of multi-byte UTF-8 characters are skipped
  // below, whatever the process locale says.
  uint16_t value = 0;
  for (char c : text) {
    const int digit = platform::HexDigitValue(c);
    if (digit < 0) continue;
    value = static_cast<uint16_t>((value << 4) | digit);
  }
  return value;
}
