#include "views/StylusValues.h"

#include <algorithm>

#include "views/ValueDecode.h"

namespace {

std::vector<uint32_t> DecodeRun(const uint8_t* bytes, size_t length, size_t offset, size_t width,
                                int32_t wanted, bool littleEndian) {
  std::vector<uint32_t> values;
  if (width == 0 || width > 4 || wanted <= 0 || offset > length) return values;
  const size_t fit = (length - offset) / width;
  const size_t n = std::min(fit, static_cast<size_t>(wanted));
  values.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    values.push_back(
        static_cast<uint32_t>(DecodeValue(bytes + offset + k * width, width, false, littleEndian)));
  }
  return values;
}

}  // namespace

size_t StylusRowProfileOffset(const std::string& chipName) {
  return chipName == "RO7387Z" ? 92 : 84;
}

uint32_t StylusReadLength(int32_t stylusLength, uint32_t slotBytes) {
  if (stylusLength <= 0) return 0;
  return std::min(static_cast<uint32_t>(stylusLength), slotBytes);
}

StylusProfiles DecodeStylusProfiles(const uint8_t* bytes, size_t length, const DataFormat& stylus,
                                    int32_t rows, int32_t cols, size_t rowProfileOffset) {
  StylusProfiles profiles;
  if (bytes == nullptr) return profiles;
  const size_t width = size_t{stylus.unit} * 2;
  const bool le = stylus.littleEndian != 0;
  profiles.columns = DecodeRun(bytes, length, 0, width, cols, le);
  profiles.rows = DecodeRun(bytes, length, rowProfileOffset, width, rows, le);
  return profiles;
}
