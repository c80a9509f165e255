#pragma once
// ".cfg" files: one configuration block as text, the token "0x%02x," per byte
// in block order, no header and no line breaks. Pure text work: reading and
// writing the files is the caller's (through platform/files/AtomicFile).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A valid file is about 5 KiB; anything above this is refused unread.
inline constexpr size_t kCfgFileMaxBytes = size_t{1} << 20;
// The block holds at most this many bytes; tokens past it are ignored.
inline constexpr size_t kCfgBlockMaxBytes = 1024;
// What the operator is told when a ".cfg" file cannot be used at all.
inline constexpr std::string_view kCfgOpenFailedText = "Open config file failed";

struct CfgParseResult {
  bool ok = false;
  std::string error;  // user text when !ok (kCfgOpenFailedText)
  // Token k's value for block byte k; at most kCfgBlockMaxBytes entries. A
  // file with fewer tokens than the block gives fewer values: the caller
  // leaves the remaining block bytes as they are.
  std::vector<uint8_t> bytes;
  // How many values the text holds, those past kCfgBlockMaxBytes included.
  size_t values = 0;
};

// Reads a ".cfg" file's bytes. The text ends at the first zero byte and is
// decoded as 8-bit text in the system's code page (UTF-8 when valid, else
// GBK). Tokens are the runs between commas, empty runs skipped; of a token
// only its last two characters count, parsed as hexadecimal with every other
// character skipped ("0x1f", "1F", "ab1f" -> 0x1F; "7" -> 0x07;
// "\r\n0x34" -> 0x34; " " -> 0x00). Tokens at the end whose counted
// characters hold no hexadecimal digit (the line break after the last comma
// of an edited file) are not values. Fails only for input over
// kCfgFileMaxBytes.
CfgParseResult ParseCfgText(std::string_view fileBytes);

// How the written text ends.
enum class CfgTextEnding {
  kComma,         // the exported file: the last token's comma is the last byte
  kCommaAndZero,  // the written (backup) file: one zero byte follows
};

// The file text of block: "0x%02x," per byte (lower case), then the ending.
// 186 bytes give 930 characters (931 with the zero byte).
std::string FormatCfgText(std::span<const uint8_t> block, CfgTextEnding ending);
