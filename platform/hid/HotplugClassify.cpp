#include "platform/hid/HotplugClassify.h"

#include <string_view>

#include "platform/hid/BridgeVendors.h"

namespace platform {

namespace {

// Calls fn on each '/'-separated component of path, last first, until it
// returns true.
template <typename Fn>
void ForEachComponentBackwards(std::string_view path, Fn fn) {
  while (!path.empty()) {
    const size_t slash = path.rfind('/');
    const std::string_view part = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (!part.empty() && fn(part)) return;
    if (slash == std::string_view::npos) return;
    path = path.substr(0, slash);
  }
}

}  // namespace

HotplugKind ClassifyHotplug(const HotplugFacts& facts) {
  const HidDeviceInfo& info = facts.info;
  if (facts.subsystem == "usb") {
    if (facts.devType == "usb_device" && info.vendorId == kProgrammerVendorId) {
      return HotplugKind::ProgrammingDevice;
    }
    return HotplugKind::Other;
  }
  if (facts.subsystem != "hidraw") return HotplugKind::Other;
  if (info.interfaceNumber == 1 && IsBridgeVendor(info.vendorId)) {
    return HotplugKind::BridgeCommand;
  }
  if (info.interfaceNumber == 0 && IsDigitizerVendor(info.vendorId)) {
    return HotplugKind::Digitizer;
  }
  return HotplugKind::Other;
}

HotplugFacts FactsFromUevent(const UeventProperties& props) {
  HotplugFacts facts;
  facts.subsystem = std::string(UeventValue(props, "SUBSYSTEM"));
  facts.devType = std::string(UeventValue(props, "DEVTYPE"));
  HidDeviceInfo& info = facts.info;

  const std::string_view devPath = UeventValue(props, "DEVPATH");
  if (!devPath.empty() && devPath.front() == '/' &&
      devPath.find("/../") == std::string_view::npos) {
    info.sysPath = "/sys" + std::string(devPath);
  }
  if (auto node = DevNodeFromName(UeventValue(props, "DEVNAME"))) info.devNode = *std::move(node);
  if (const auto minor = ParseDecimalNumber(UeventValue(props, "MINOR"), 0xFFFFF)) {
    info.minor = *minor;
  }

  // Ids: udev's own properties first, then the kernel's.
  bool idsKnown = false;
  const auto vendor = ParseHexNumber(UeventValue(props, "ID_VENDOR_ID"), 0xFFFF);
  const auto model = ParseHexNumber(UeventValue(props, "ID_MODEL_ID"), 0xFFFF);
  const auto product = ParseUsbProduct(UeventValue(props, "PRODUCT"));
  if (vendor && model) {
    info.vendorId = static_cast<uint16_t>(*vendor);
    info.productId = static_cast<uint16_t>(*model);
    idsKnown = true;
  } else if (product) {
    info.vendorId = product->vendor;
    info.productId = product->product;
    idsKnown = true;
  } else if (const auto hid = ParseHidId(UeventValue(props, "HID_ID"))) {
    info.vendorId = hid->vendor;
    info.productId = hid->product;
    idsKnown = true;
  }
  if (product) {
    info.version = product->bcdDevice;
  } else if (const auto revision = ParseHexNumber(UeventValue(props, "ID_REVISION"), 0xFFFF)) {
    info.version = static_cast<uint16_t>(*revision);
  }

  const auto interfaceNum = ParseHexNumber(UeventValue(props, "ID_USB_INTERFACE_NUM"), 0xFF);
  if (interfaceNum) info.interfaceNumber = static_cast<int>(*interfaceNum);

  // A hidraw node's path names its HID device and USB interface, which is all
  // that is left to go on once the device is unplugged.
  ForEachComponentBackwards(devPath, [&](std::string_view part) {
    if (!idsKnown) {
      if (const auto hid = ParseHidDeviceName(part)) {
        info.vendorId = hid->vendor;
        info.productId = hid->product;
        idsKnown = true;
        return false;
      }
    }
    if (info.interfaceNumber < 0) {
      const int number = InterfaceFromUsbInterfaceName(part);
      if (number >= 0) {
        info.interfaceNumber = number;
        return true;
      }
    }
    return false;
  });
  if (info.interfaceNumber < 0)
    info.interfaceNumber = InterfaceFromHidPhys(UeventValue(props, "HID_PHYS"));
  if (facts.subsystem == "usb" && facts.devType == "usb_device") info.interfaceNumber = -1;
  return facts;
}

}  // namespace platform
