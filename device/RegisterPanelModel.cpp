#include "device/RegisterPanelModel.h"

#include <algorithm>
#include <cstdio>

#include "device/HexStrToWord.h"
#include "platform/HexDigit.h"
#include "platform/TextTrim.h"

namespace {

bool IsHexDigit(char c) { return platform::HexDigitValue(c) >= 0; }

// Hexadecimal digits of a typed number; the "0" of a leading "0x" is a prefix,
// not a digit.
size_t CountHexDigits(std::string_view typed) {
  std::string_view text = platform::TrimChars(typed, platform::kAsciiBlanks);
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), IsHexDigit));
}

void Promote(std::vector<std::string>& list, const std::string& text) {
  std::erase(list, text);
  list.insert(list.begin(), text);
  if (list.size() > RegisterPanelModel::kMaxEntries) list.resize(RegisterPanelModel::kMaxEntries);
}

std::string Hex(unsigned value, int digits) {
  char text[8];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return std::string(text);
}

std::string AccessLogLine(std::string_view kind, uint16_t address, std::string_view valueText) {
  std::string line(kind);
  line += "A: 0x";
  line += Hex(address, 4);
  line += "  D: 0x";
  line += valueText;
  return line;
}

}  // namespace

void RegisterPanelModel::LoadAddressList(std::string_view stored) {
  addresses_.clear();
  while (addresses_.size() < kMaxEntries && !stored.empty()) {
    const size_t comma = stored.find(',');
    const std::string piece(platform::TrimChars(stored.substr(0, comma), platform::kAsciiBlanks));
    stored = comma == std::string_view::npos ? std::string_view{} : stored.substr(comma + 1);
    if (!piece.empty() &&
        std::find(addresses_.begin(), addresses_.end(), piece) == addresses_.end()) {
      addresses_.push_back(piece);
    }
  }
}

std::string RegisterPanelModel::StoredAddressList() const {
  std::string stored;
  for (const std::string& entry : addresses_) {
    if (!stored.empty()) stored += ',';
    stored += entry;
  }
  return stored;
}

void RegisterPanelModel::UseAddress(const std::string& text) { Promote(addresses_, text); }

void RegisterPanelModel::UseValue(const std::string& text) { Promote(values_, text); }

std::string CleanRegisterText(std::string_view typed) {
  std::string text(platform::TrimChars(typed, platform::kAsciiBlanks));
  std::erase(text, ',');
  return std::string(platform::TrimChars(text, platform::kAsciiBlanks));
}

std::optional<uint16_t> ParseRegisterAddress(std::string_view typed) {
  if (CountHexDigits(typed) == 0) return std::nullopt;
  return HexStrToWord(std::string(typed));
}

WriteWidth WriteWidthOf(std::string_view typedValue) {
  const size_t digits = CountHexDigits(typedValue);
  if (digits == 0) return WriteWidth::kNone;
  if (digits <= 2) return WriteWidth::kByte;
  if (digits <= 4) return WriteWidth::kWord;
  return WriteWidth::kTooLong;
}

std::optional<std::string> StepAddressText(std::string_view typed, int delta) {
  const std::optional<uint16_t> address = ParseRegisterAddress(typed);
  if (!address) return std::nullopt;
  const auto next = static_cast<uint16_t>(*address + delta);
  char text[8];
  std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(next));
  return std::string(text);
}

std::string FormatRegisterByte(uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02x", static_cast<unsigned>(value));
  return std::string(text);
}

std::string ReadLogLine(uint16_t address, std::string_view valueText) {
  return AccessLogLine(kReadKind, address, valueText);
}

std::string WriteLogLine(uint16_t address, uint16_t value, WriteWidth width) {
  return AccessLogLine(kWriteKind, address, Hex(value, width == WriteWidth::kWord ? 4 : 2));
}

std::string NotAnAddressLine(std::string_view kind, std::string_view typedAddress) {
  return std::string(kind) + "\"" + std::string(typedAddress) +
         "\"不是寄存器地址（十六进制），未访问";
}

std::string NotAValueLine(uint16_t address, std::string_view typedValue, WriteWidth width) {
  std::string line =
      std::string(kWriteKind) + "A: 0x" + Hex(address, 4) + "  \"" + std::string(typedValue) + "\"";
  line += width == WriteWidth::kTooLong ? "超过4位十六进制数，未写入" : "不是十六进制数值，未写入";
  return line;
}
