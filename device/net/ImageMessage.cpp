#include "device/net/ImageMessage.h"

#include "device/net/LinkKey.h"
#include "device/net/LinkMessage.h"
#include "platform/ByteOrder.h"

namespace {

using platform::ReadLe16;
using platform::ReadLe32;

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The zero-terminated UTF-16LE text at [at, end); Unterminated when no zero
// unit starts before end - 1, Invalid for an unpaired surrogate.
ImageCheck ReadName(const uint8_t* p, size_t at, size_t end, std::string* name) {
  std::string text;
  for (;;) {
    if (end - at < 2) return ImageCheck::NameUnterminated;
    const uint16_t unit = ReadLe16(p + at);
    at += 2;
    if (unit == 0) break;
    uint32_t cp = unit;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return ImageCheck::NameInvalid;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (end - at < 2) return ImageCheck::NameUnterminated;
      const uint16_t low = ReadLe16(p + at);
      if (low < 0xDC00 || low > 0xDFFF) return ImageCheck::NameInvalid;
      at += 2;
      cp = 0x10000 + ((static_cast<uint32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(text, cp);
  }
  *name = std::move(text);
  return ImageCheck::Ok;
}

}  // namespace

std::string SafeBaseName(std::string_view name) {
  const size_t cut = name.find_last_of("\\/:");
  if (cut != std::string_view::npos) name.remove_prefix(cut + 1);
  if (name.empty() || name == "." || name == "..") return {};
  return std::string(name);
}

std::string RemoteImageStoredPath(const RemoteImage& image) {
  return "..\\System\\Temp\\" + SafeBaseName(image.fileName);
}

ImageCheck ParseImageMessage(const uint8_t* payload, size_t length, RemoteImage* out) {
  if (length >= 4 && platform::ReadLe32(payload) != kLinkImageType) return ImageCheck::WrongType;
  if (length < kImageHeaderSize) return ImageCheck::TooShort;

  const uint64_t nameOffset = platform::ReadLe32(payload + 4);
  if (nameOffset + 2 > length) return ImageCheck::NameOutOfRange;
  std::string name;
  const ImageCheck nameCheck = ReadName(payload, static_cast<size_t>(nameOffset), length, &name);
  if (nameCheck != ImageCheck::Ok) return nameCheck;
  name = SafeBaseName(name);
  if (name.empty()) return ImageCheck::NameInvalid;

  const uint64_t dataOffset = platform::ReadLe32(payload + 12);
  const uint32_t dataLength = platform::ReadLe32(payload + 16);
  if (dataLength > kMaxImageData) return ImageCheck::TooLong;
  if (dataOffset + dataLength > length) return ImageCheck::DataOutOfRange;
  const uint8_t* data = payload + dataOffset;
  uint16_t sum = 0;
  for (uint32_t i = 0; i < dataLength; ++i) sum = static_cast<uint16_t>(sum + data[i]);
  if (sum != platform::ReadLe16(payload + 20)) return ImageCheck::BadSum;

  out->fileName = std::move(name);
  out->data.assign(data, data + dataLength);
  UnmaskLinkBytes(out->data.data(), out->data.size());
  out->sum = sum;
  out->remaining = platform::ReadLe32(payload + 24);
  return ImageCheck::Ok;
}

const char* ImageCheckText(ImageCheck check) {
  switch (check) {
    case ImageCheck::Ok:
      return "ok";
    case ImageCheck::WrongType:
      return "not an image message";
    case ImageCheck::TooShort:
      return "message too short";
    case ImageCheck::NameOutOfRange:
      return "file name outside the message";
    case ImageCheck::NameUnterminated:
      return "file name without its terminator";
    case ImageCheck::NameInvalid:
      return "file name not usable";
    case ImageCheck::TooLong:
      return "image too long";
    case ImageCheck::DataOutOfRange:
      return "image data outside the message";
    case ImageCheck::BadSum:
      return "image sum wrong";
  }
  return "?";
}
