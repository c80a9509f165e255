// Bridge firmware in Intel HEX comes from outside: any text must parse into
// an image inside the programmer's buffer, or be refused with a message.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "device/UserMessageError.h"
#include "programming/bridgefw/IntelHex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const HexImage image = ParseIntelHex(text);
    if (image.length > kMcuImageCapacity || image.bytes.size() % 4 != 0 ||
        image.bytes.size() < image.length || image.bytes.size() > image.length + 3) {
      std::abort();
    }
  } catch (const UserMessageError&) {
  }
  return 0;
}
