#include "device/CfgItem.h"

namespace {

constexpr std::string_view kDrivePrefix = "Driver_CH";
constexpr std::string_view kSensePrefix = "Sensor_CH";
constexpr size_t kMaxChannelDigits = 5;

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
