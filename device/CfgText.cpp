#include "device/CfgText.h"

#include "device/HexStrToWord.h"
#include "device/Utf8Suffix.h"
#include "platform/CodePage.h"

CfgParseResult ParseCfgText(std::string_view fileBytes) {
  CfgParseResult result;
  if (fileBytes.size() > kCfgFileMaxBytes) {
    result.error = std::string(kCfgOpenFailedText);
    return result;
  }
  const size_t zero = fileBytes.find('\0');
  if (zero != std::string_view::npos) fileBytes = fileBytes.substr(0, zero);
  const std::string text = platform::DecodeText(fileBytes).text;

  std::string_view rest = text;
  while (!rest.empty() && result.bytes.size() < kCfgBlockMaxBytes) {
    const size_t comma = rest.find(',');
    const std::string_view token = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (token.empty()) continue;
    result.bytes.push_back(static_cast<uint8_t>(HexStrToWord(std::string(Utf8Suffix(token, 2)))));
  }
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
