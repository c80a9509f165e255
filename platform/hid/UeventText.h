#pragma once
// Parsers for the small texts the kernel and udev hand out about devices:
// uevent files and event properties (KEY=VALUE lines), hex and decimal
// attributes, and the ids encoded in HID and USB device names. Everything
// here comes from outside, so every parser checks lengths and ranges and
// reports "no value" instead of guessing.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

using UeventProperties = std::map<std::string, std::string, std::less<>>;

// Longest uevent text we look at; real ones are a few hundred bytes.
inline constexpr size_t kMaxUeventBytes = 64 * 1024;

// "KEY=VALUE" per line ('\n' or NUL separated, as in uevent files and netlink
// messages). Lines without '=' or with an empty key are skipped; the first of
// duplicate keys wins. Text past kMaxUeventBytes is ignored.
UeventProperties ParseUevent(std::string_view text);

// The device node of a DEVNAME value: kept when absolute, else under /dev.
// nullopt when empty or when it holds ".." (never a path out of /dev).
std::optional<std::string> DevNodeFromName(std::string_view devName);

// Value of key, or empty when absent.
std::string_view UeventValue(const UeventProperties& props, std::string_view key);

// 1 to 8 hex digits without prefix, surrounding white space allowed ("01\n",
// "0108"); nullopt for anything else or a value above maxValue.
std::optional<uint32_t> ParseHexNumber(std::string_view text, uint32_t maxValue);
// 1 to 10 decimal digits, surrounding white space allowed; bounded by maxValue.
std::optional<uint32_t> ParseDecimalNumber(std::string_view text, uint32_t maxValue);

struct HidIds {
  uint16_t bus = 0;
  uint16_t vendor = 0;
  uint16_t product = 0;
};

// HID_ID property of a HID device: "0003:000027C0:00000818".
std::optional<HidIds> ParseHidId(std::string_view text);
// Name of a HID device's sysfs folder: "0003:27C0:0818.0004".
std::optional<HidIds> ParseHidDeviceName(std::string_view name);

// Interface number at the end of HID_PHYS ("usb-0000:00:14.0-3/input1" -> 1);
// -1 when there is none.
int InterfaceFromHidPhys(std::string_view phys);
// Interface number in a USB interface's sysfs name ("1-3.2:1.0" -> 0, the
// number after the dot is decimal); -1 when the name is not one.
int InterfaceFromUsbInterfaceName(std::string_view name);

struct UsbProductIds {
  uint16_t vendor = 0;
  uint16_t product = 0;
  uint16_t bcdDevice = 0;
};

// PRODUCT property of USB events: "27c0/818/108" (hex, unpadded).
std::optional<UsbProductIds> ParseUsbProduct(std::string_view text);

}  // namespace platform
