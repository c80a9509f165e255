// The link key and the masking rule of the remote server link.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "device/net/LinkKey.h"

namespace {

TEST(LinkKey, KeysAndTheirLinkIds) {
  struct Case {
    const char* key;
    std::optional<uint32_t> id;
  } cases[] = {
      {"00000000EB", 0x00},
      {"00000000eb", 0x00},
      {"FFFFFFFFEB", 0x00},  // the first four bytes do not count
      {"12345678EB", 0x00},
      {"0000000000", 0xEB},  // ~0x00 - 20
      {"00000000FF", 0xEC},  // ~0xFF - 20 wraps
      {"00000000D7", 0x14},
      {" 00 00 00 00 EB", 0x00},  // blanks before a pair, as the scan skips them
      {"00000000EB  ", 0x00},
      {"", std::nullopt},
      {"00000000E", std::nullopt},
      {"00000000EB0", std::nullopt},
      {"00000000EG", std::nullopt},
      {"0 0000000EB", std::nullopt},  // a pair split by a blank
      {"0x000000EB", std::nullopt},
      {"-0000000EB", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(c.id, ParseLinkKey(c.key));
  }
}

TEST(LinkKey, UnmaskingUndoesTheServersMask) {
  std::vector<uint8_t> bytes = {0x10, 0x20, 0x30};
  UnmaskLinkBytes(bytes.data(), bytes.size());
  EXPECT_EQ((std::vector<uint8_t>{0xEF, 0xDA, 0xC5}), bytes);
}

}  // namespace
