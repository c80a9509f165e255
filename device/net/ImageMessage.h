#pragma once
// The relay server's image message: a bridge firmware image with its file
// name and the number of burns the server still expects. Everything in it
// comes from the network, so every offset and length is checked before use.
//
// Payload (little-endian): u32 type (7), u32 name offset (UTF-16LE text with
// a zero terminator, read byte by byte: no alignment), u32 unused, u32 data
// offset, u32 data length (at most 204800), u16 sum of the masked data bytes,
// 2 unused bytes, u32 remaining burns.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kImageHeaderSize = 28;
inline constexpr uint32_t kMaxImageData = 204800;

// An accepted image, unmasked.
struct RemoteImage {
  std::string fileName;  // UTF-8 base name: no folder part, never "." or ".."
  std::vector<uint8_t> data;
  uint16_t sum = 0;  // of the data as sent (masked)
  uint32_t remaining = 0;
};

enum class ImageCheck {
  Ok,
  WrongType,       // not an image message: ignored without a word
  TooShort,        // shorter than the fixed fields
  NameOutOfRange,  // the name offset leaves no room for a character
  NameUnterminated,
  NameInvalid,     // an unpaired surrogate, or no base name left
  TooLong,         // data length over kMaxImageData
  DataOutOfRange,  // the data reaches past the payload
  BadSum,
};

// Checks the payload and, when it is good, fills *out with the unmasked
// image. *out is untouched otherwise.
ImageCheck ParseImageMessage(const uint8_t* payload, size_t length, RemoteImage* out);

// A short English reason for the console line of a rejected message.
const char* ImageCheckText(ImageCheck check);

// Where a file made from a received image goes: the runtime's temporary
// folder, whatever the server named it (a stored path text, "..\System\Temp\"
// followed by the base name).
std::string RemoteImageStoredPath(const RemoteImage& image);

// The last component of a name that may carry '\', '/' or a drive letter;
// empty when nothing usable is left ("", ".", "..").
std::string SafeBaseName(std::string_view name);
