#pragma once
// What a hot-plug event is about, decided from plain facts so that it works on
// removal too, when the device's sysfs folder is already gone and only the
// event's own properties remain.

#include <string>

#include "platform/hid/HidPort.h"
#include "platform/hid/UeventText.h"

namespace platform {

enum class HotplugAction { Added, Removed };

enum class HotplugKind {
  BridgeCommand,      // a bridge's command interface (hidraw, interface 1)
  ProgrammingDevice,  // the USB bootloader that flashes a bridge
  Digitizer,          // a bridge's touch digitizer interface (hidraw, interface 0)
  Other,
};

struct HotplugFacts {
  std::string subsystem;  // "hidraw" or "usb"
  std::string devType;    // "usb_device", "usb_interface" or empty
  HidDeviceInfo info;     // vendorId 0 / interfaceNumber -1 when unknown
};

// Only hidraw events name interfaces: the USB interface above a hidraw node
// announces itself too, but the node is what gets opened, and counting both
// would report every arrival twice.
HotplugKind ClassifyHotplug(const HotplugFacts& facts);

// Facts from an event's properties. Ids come from ID_VENDOR_ID/ID_MODEL_ID,
// PRODUCT (USB), HID_ID, or the HID device's folder name in DEVPATH
// ("0003:27C0:0818.0004"); the interface number from ID_USB_INTERFACE_NUM,
// the USB interface folder in DEVPATH ("1-3:1.1") or HID_PHYS. INTERFACE is
// class/subclass/protocol and says nothing about the number.
HotplugFacts FactsFromUevent(const UeventProperties& props);

}  // namespace platform
