#include "programming/bridgefw/IntelHex.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "device/UserMessageError.h"
#include "platform/files/AtomicFile.h"
#include "platform/HexDigit.h"

namespace {

enum RecordType : uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegment = 0x02,
  kStartSegment = 0x03,
  kExtendedLinear = 0x04,
  kStartLinear = 0x05,
};

// ':' + count (2) + offset (4) + type (2) + checksum (2), data aside.
constexpr size_t kRecordFrameChars = 11;
// A text holding a full image as one-byte records is about 1.7 MB; anything
// far beyond that is not a bridge image and is refused before it is read.
constexpr size_t kMaxHexFileBytes = 64u << 20;

[[noreturn]] void ThrowFormatError() { throw UserMessageError(std::string(kHexFormatErrorText)); }

uint8_t ByteAt(std::string_view text, size_t pos) {
  const int high = platform::HexDigitValue(text[pos]);
  const int low = platform::HexDigitValue(text[pos + 1]);
  if (high < 0 || low < 0) ThrowFormatError();
  return static_cast<uint8_t>(high * 16 + low);
}

// Position of the next record after a record ending at `end`: one line end
// (CR LF or LF) or the end of the text.
size_t NextRecord(std::string_view text, size_t end) {
  if (end == text.size()) return end;
  if (text[end] == '\n') return end + 1;
  if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') return end + 2;
  ThrowFormatError();
}

}  // namespace

HexImage ParseIntelHex(std::string_view text) {
  std::vector<uint8_t> image(kMcuImageCapacity, 0);
  uint64_t linearBase = 0;   // extended linear address << 16
  uint64_t segmentBase = 0;  // extended segment address << 4
  size_t length = 0;
  uint8_t record[255 + 4];   // offset (2), type, data, checksum

  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != ':' || text.size() - pos < kRecordFrameChars) ThrowFormatError();
    const uint8_t count = ByteAt(text, pos + 1);
    const size_t end = pos + kRecordFrameChars + 2 * size_t{count};
    if (end > text.size()) ThrowFormatError();
    uint8_t sum = count;
    for (size_t i = 0; i < size_t{count} + 4; ++i) {
      record[i] = ByteAt(text, pos + 3 + 2 * i);
      sum = static_cast<uint8_t>(sum + record[i]);
    }
    if (sum != 0) ThrowFormatError();

    const uint16_t offset = static_cast<uint16_t>(record[0] << 8 | record[1]);
    const uint8_t* data = record + 3;
    switch (record[2]) {
      case kData: {
        const uint64_t address = linearBase + segmentBase + offset;
        if (address + count > kMcuImageCapacity) {
          throw UserMessageError(std::string(kHexTooLargeText));
        }
        std::copy(data, data + count, image.begin() + static_cast<ptrdiff_t>(address));
        length = std::max(length, static_cast<size_t>(address + count));
        break;
      }
      case kEndOfFile: {
        image.resize((length + 3) & ~size_t{3});
        return HexImage{std::move(image), length};
      }
      case kExtendedSegment:
      case kExtendedLinear: {
        if (count != 2) ThrowFormatError();
        const uint64_t value = uint64_t{data[0]} << 8 | data[1];
        if (record[2] == kExtendedSegment) {
          segmentBase = value << 4;
        } else {
          linearBase = value << 16;
        }
        break;
      }
      case kStartSegment:
      case kStartLinear:
        // Where the program starts does not change the image.
        if (count != 4) ThrowFormatError();
        break;
      default:
        ThrowFormatError();
    }
    pos = NextRecord(text, end);
  }
  ThrowFormatError();
}

HexImage ReadHexFile(const std::filesystem::path& path) {
  const std::string shown = path.string();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw UserMessageError(shown + std::string(kOpenFailedSuffix));
  }
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) throw UserMessageError(shown + std::string(kOpenFailedSuffix));
  if (size == 0) throw UserMessageError(shown + std::string(kHexEmptySuffix));
  if (size > kMaxHexFileBytes) throw UserMessageError(std::string(kHexTooLargeText));

  std::string text;
  if (!platform::ReadFileBytes(path, &text, kMaxHexFileBytes)) {
    throw UserMessageError(shown + std::string(kOpenFailedSuffix));
  }
  if (text.empty()) throw UserMessageError(shown + std::string(kHexEmptySuffix));
  return ParseIntelHex(text);
}
