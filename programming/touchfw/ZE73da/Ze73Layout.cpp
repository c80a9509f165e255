#include "programming/touchfw/ZE73da/Ze73Layout.h"

#include "programming/touchfw/FwUpdate.h"

namespace ze73 {

namespace {

void PutLittleEndian(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool CheckLayout(std::span<const uint8_t> image, std::string& why) {
  if (image.size() != kFileBytes) {
    why = kLengthErrorText;
    return false;
  }
  if (!IsPrintableFwName(image.subspan(kNameOffset, kNameBytes))) {
    why = kNameErrorText;
    return false;
  }
  return true;
}

std::array<uint8_t, 12> ChunkHeader(std::span<const uint8_t> data, uint32_t flashAddress) {
  uint32_t sum = 0;
  for (size_t i = 0; i < data.size(); i += 4) {
    uint32_t word = 0;
    for (size_t b = 0; b < 4 && i + b < data.size(); ++b) {
      word |= static_cast<uint32_t>(data[i + b]) << (8 * b);
    }
    sum += word;
  }
  std::array<uint8_t, 12> header{};
  PutLittleEndian(header.data(), static_cast<uint32_t>(data.size()));
  PutLittleEndian(header.data() + 4, flashAddress);
  PutLittleEndian(header.data() + 8, sum);
  return header;
}

}  // namespace ze73
