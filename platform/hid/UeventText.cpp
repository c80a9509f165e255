#include "platform/hid/UeventText.h"

#include <limits>

#include "platform/HexDigit.h"
#include "platform/TextTrim.h"

namespace platform {

namespace {

// Exact hex field (no trimming): digitsMin..digitsMax digits, value <= maxValue.
std::optional<uint32_t> HexField(std::string_view text, size_t digitsMin, size_t digitsMax,
                                 uint32_t maxValue) {
  if (text.size() < digitsMin || text.size() > digitsMax) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    const int d = HexDigitValue(c);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<uint64_t>(d);
  }
  if (value > maxValue) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::optional<uint32_t> DecimalField(std::string_view text, uint32_t maxValue) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > maxValue) return std::nullopt;
  return static_cast<uint32_t>(value);
}

// Splits "a:b:c" into exactly n fields; false when the count differs.
template <size_t N>
bool SplitExact(std::string_view text, char sep, std::string_view (&out)[N]) {
  for (size_t i = 0; i < N; ++i) {
    const size_t pos = text.find(sep);
    if (i + 1 == N) {
      if (pos != std::string_view::npos) return false;
      out[i] = text;
    } else {
      if (pos == std::string_view::npos) return false;
      out[i] = text.substr(0, pos);
      text.remove_prefix(pos + 1);
    }
  }
  return true;
}

}  // namespace

UeventProperties ParseUevent(std::string_view text) {
  if (text.size() > kMaxUeventBytes) text = text.substr(0, kMaxUeventBytes);
  UeventProperties props;
  while (!text.empty()) {
    size_t end = text.find_first_of(std::string_view("\n\0", 2));
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == text.size() ? end : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) continue;
    props.emplace(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
  }
  return props;
}

std::string_view UeventValue(const UeventProperties& props, std::string_view key) {
  const auto it = props.find(key);
  return it == props.end() ? std::string_view() : std::string_view(it->second);
}

std::optional<std::string> DevNodeFromName(std::string_view devName) {
  if (devName.empty() || devName.find("..") != std::string_view::npos) return std::nullopt;
  if (devName.front() == '/') return std::string(devName);
  return "/dev/" + std::string(devName);
}

std::optional<uint32_t> ParseHexNumber(std::string_view text, uint32_t maxValue) {
  return HexField(TrimChars(text, kSpaceTabCrLf), 1, 8, maxValue);
}

std::optional<uint32_t> ParseDecimalNumber(std::string_view text, uint32_t maxValue) {
  return DecimalField(TrimChars(text, kSpaceTabCrLf), maxValue);
}

std::optional<HidIds> ParseHidId(std::string_view text) {
  std::string_view f[3];
  if (!SplitExact(TrimChars(text, kSpaceTabCrLf), ':', f)) return std::nullopt;
  const auto bus = HexField(f[0], 1, 8, 0xFFFF);
  const auto vendor = HexField(f[1], 1, 8, 0xFFFF);
  const auto product = HexField(f[2], 1, 8, 0xFFFF);
  if (!bus || !vendor || !product) return std::nullopt;
  return HidIds{static_cast<uint16_t>(*bus), static_cast<uint16_t>(*vendor),
                static_cast<uint16_t>(*product)};
}

std::optional<HidIds> ParseHidDeviceName(std::string_view name) {
  // BUS:VENDOR:PRODUCT.INSTANCE, each at least 4 hex digits.
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  if (!HexField(name.substr(dot + 1), 4, 8, std::numeric_limits<uint32_t>::max())) {
    return std::nullopt;
  }
  std::string_view f[3];
  if (!SplitExact(name.substr(0, dot), ':', f)) return std::nullopt;
  const auto bus = HexField(f[0], 4, 8, 0xFFFF);
  const auto vendor = HexField(f[1], 4, 8, 0xFFFF);
  const auto product = HexField(f[2], 4, 8, 0xFFFF);
  if (!bus || !vendor || !product) return std::nullopt;
  return HidIds{static_cast<uint16_t>(*bus), static_cast<uint16_t>(*vendor),
                static_cast<uint16_t>(*product)};
}

int InterfaceFromHidPhys(std::string_view phys) {
  phys = TrimChars(phys, kSpaceTabCrLf);
  constexpr std::string_view kMark = "/input";
  const size_t pos = phys.rfind(kMark);
  if (pos == std::string_view::npos) return -1;
  const auto number = DecimalField(phys.substr(pos + kMark.size()), 0xFF);
  return number ? static_cast<int>(*number) : -1;
}

int InterfaceFromUsbInterfaceName(std::string_view name) {
  // BUS-PORT[.PORT...]:CONFIG.INTERFACE
  const size_t dash = name.find('-');
  const size_t colon = name.find(':');
  if (dash == std::string_view::npos || colon == std::string_view::npos || dash == 0 ||
      colon < dash + 2) {
    return -1;
  }
  if (!DecimalField(name.substr(0, dash), 0xFFFF)) return -1;
  for (char c : name.substr(dash + 1, colon - dash - 1)) {
    if ((c < '0' || c > '9') && c != '.') return -1;
  }
  std::string_view f[2];
  if (!SplitExact(name.substr(colon + 1), '.', f)) return -1;
  if (!DecimalField(f[0], 0xFF)) return -1;
  const auto number = DecimalField(f[1], 0xFF);
  return number ? static_cast<int>(*number) : -1;
}

std::optional<UsbProductIds> ParseUsbProduct(std::string_view text) {
  std::string_view f[3];
  if (!SplitExact(TrimChars(text, kSpaceTabCrLf), '/', f)) return std::nullopt;
  const auto vendor = HexField(f[0], 1, 4, 0xFFFF);
  const auto product = HexField(f[1], 1, 4, 0xFFFF);
  const auto bcd = HexField(f[2], 1, 4, 0xFFFF);
  if (!vendor || !product || !bcd) return std::nullopt;
  return UsbProductIds{static_cast<uint16_t>(*vendor), static_cast<uint16_t>(*product),
                       static_cast<uint16_t>(*bcd)};
}

}  // namespace platform
