#include "device/config/CfgItem.h"

#include <algorithm>
#include <cstdio>

#include "platform/HexDigit.h"
#include "platform/TextTrim.h"

namespace {

constexpr std::string_view kDrivePrefix = "Driver_CH";
constexpr std::string_view kSensePrefix = "Sensor_CH";
constexpr size_t kMaxChannelDigits = 5;
// Longer texts are refused rather than overflow the number.
constexpr size_t kMaxTextDigits = 9;

}  // namespace

CfgChannelList CfgChannelListOf(std::string_view name) {
  if (name.find(kDrivePrefix) != std::string_view::npos) return CfgChannelList::kDrive;
  if (name.find(kSensePrefix) != std::string_view::npos) return CfgChannelList::kSense;
  return CfgChannelList::kNone;
}

int CfgChannelNumberOf(std::string_view name) {
  // Both prefixes are nine characters long; the number follows them.
  static_assert(kDrivePrefix.size() == kSensePrefix.size());
  if (name.size() <= kDrivePrefix.size()) return 0;
  int number = 0;
  size_t digits = 0;
  for (size_t i = kDrivePrefix.size(); i < name.size() && digits < kMaxChannelDigits;
       ++i, ++digits) {
    const char c = name[i];
    if (c < '0' || c > '9') break;
    number = number * 10 + (c - '0');
  }
  return number;
}

CfgChannelList CfgItem::channelList() const { return CfgChannelListOf(name); }

int CfgItem::channelNumber() const { return CfgChannelNumberOf(name); }

std::optional<long> CfgParseNumber(const std::string& text, bool hex) {
  std::string t(platform::TrimChars(text));
  if (hex && t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.erase(0, 2);
  if (t.empty() || t.size() > kMaxTextDigits) return std::nullopt;
  long value = 0;
  for (char c : t) {
    const int digit = platform::HexDigitValue(c);
    if (digit < 0 || (!hex && digit > 9)) return std::nullopt;
    value = value * (hex ? 16 : 10) + digit;
  }
  return value;
}

std::string CfgNumberText(const CfgItem& item, long value) {
  char text[24];
  std::snprintf(text, sizeof text, item.hex ? "%02lX" : "%ld", value);
  return text;
}

int CfgFieldBits(const CfgItem& item) {
  // A width above 8 is a 16-bit parameter over two registers.
  const int spanBits = item.bitWidth > 8 ? 16 : 8;
  return std::min(item.bitWidth, spanBits - item.bitAddress % 8);
}

long CfgFieldMax(const CfgItem& item) { return (1L << std::max(CfgFieldBits(item), 0)) - 1; }
