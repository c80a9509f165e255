#include "device/config/Utf8Suffix.h"

std::string_view Utf8Suffix(std::string_view text, size_t chars) {
  size_t start = text.size();
  while (chars > 0 && start > 0) {
    --start;
    // Continuation bytes (10xxxxxx) belong to the lead byte before them.
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    --chars;
  }
  return text.substr(start);
}
