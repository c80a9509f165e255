#pragma once
// Intel HEX images of the bridge box's microcontroller firmware: the text
// turned into a flat memory image starting at address 0. Gaps read as 0x00,
// which the .ect/.bin split of a burnt image relies on.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

// The programmer's image buffer: no bridge image is larger.
inline constexpr size_t kMcuImageCapacity = 0x20000;

// Operator messages of the HEX reader (a path goes in front of the
// "打开失败" and "文件为空" ones).
inline constexpr std::string_view kHexFormatErrorText = "hex 文件格式错误";
inline constexpr std::string_view kHexTooLargeText = "hex 文件过大";
inline constexpr std::string_view kOpenFailedSuffix = "打开失败";
inline constexpr std::string_view kHexEmptySuffix = "文件为空";

struct HexImage {
  // The image, zero-padded up to the next multiple of 4 bytes.
  std::vector<uint8_t> bytes;
  // The highest end address written (unpadded); what gets programmed.
  size_t length = 0;
};

// Parses record types 00 to 05 (02/04 with 2 data bytes, 03/05 with 4).
// Records end in CR LF or LF; the last one may have no line end. Text after
// the end-of-file record is ignored; a later data record overwrites an
// earlier one. Throws UserMessageError: kHexFormatErrorText for any malformed
// record or a missing end-of-file record, kHexTooLargeText for data beyond
// kMcuImageCapacity.
HexImage ParseIntelHex(std::string_view text);

// Reads and parses an existing file (never creates one). Throws
// UserMessageError: path + "打开失败", path + "文件为空", or the parser's
// messages.
HexImage ReadHexFile(const std::filesystem::path& path);
