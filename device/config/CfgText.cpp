#include "device/config/CfgText.h"

#include "device/HexStrToWord.h"
#include "device/config/Utf8Suffix.h"
#include "platform/files/CodePage.h"

CfgParseResult ParseCfgText(std::string_view fileBytes) {
  CfgParseResult result;
  if (fileBytes.size() > kCfgFileMaxBytes) {
    result.error = std::string(kCfgOpenFailedText);
    return result;
  }
  const size_t zero = fileBytes.find('\0');
  if (zero != std::string_view::npos) fileBytes = fileBytes.substr(0, zero);
  const std::string text = platform::DecodeText(fileBytes).text;

  // Tokens are counted to the end, so that a caller can tell how many
  // values a file holds beyond what the block takes.
  size_t tokens = 0;
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view token = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (token.empty()) continue;
    ++tokens;
    const std::string_view counted = Utf8Suffix(token, 2);
    if (counted.find_first_of("0123456789abcdefABCDEF") != std::string_view::npos) {
      result.values = tokens;
    }
    if (result.bytes.size() < kCfgBlockMaxBytes) {
      result.bytes.push_back(static_cast<uint8_t>(HexStrToWord(std::string(counted))));
    }
  }
  if (result.bytes.size() > result.values) result.bytes.resize(result.values);
  result.ok = true;
  return result;
}

std::string FormatCfgText(std::span<const uint8_t> block, CfgTextEnding ending) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(block.size() * 5 + 1);
  for (uint8_t byte : block) {
    text += "0x";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
    text += ',';
  }
  if (ending == CfgTextEnding::kCommaAndZero) text += '\0';
  return text;
}
