// What hot-plug events are about: the classifier on plain facts, and the
// facts as they come out of real-looking event properties, including removals
// where only the event itself is left to go on.

#include <gtest/gtest.h>
#include <poll.h>

#include <string>

#include "platform/hid/HotplugClassify.h"
#include "platform/hid/HotplugMonitor.h"

namespace platform {
namespace {

HotplugFacts Facts(const char* subsystem, const char* devType, uint16_t vendor, int iface) {
  HotplugFacts f;
  f.subsystem = subsystem;
  f.devType = devType;
  f.info.vendorId = vendor;
  f.info.interfaceNumber = iface;
  return f;
}

TEST(HotplugClassify, KindsFromFacts) {
  struct Case {
    HotplugFacts facts;
    HotplugKind kind;
  };
  const Case cases[] = {
      {Facts("hidraw", "", 0x27C0, 1), HotplugKind::BridgeCommand},
      {Facts("hidraw", "", 0x256C, 1), HotplugKind::BridgeCommand},
      {Facts("hidraw", "", 0x056A, 1), HotplugKind::BridgeCommand},
      {Facts("hidraw", "", 0x27C0, 0), HotplugKind::Digitizer},
      {Facts("hidraw", "", 0x1B96, 0), HotplugKind::Digitizer},
      {Facts("hidraw", "", 0x256C, 0), HotplugKind::Other},  // no digitizer for this vendor
      {Facts("hidraw", "", 0x27C0, 2), HotplugKind::Other},
      {Facts("hidraw", "", 0x27C0, -1), HotplugKind::Other},
      {Facts("hidraw", "", 0x4348, 1), HotplugKind::Other},  // the bootloader is no bridge
      {Facts("hidraw", "", 0x1234, 1), HotplugKind::Other},
      {Facts("usb", "usb_device", 0x4348, -1), HotplugKind::ProgrammingDevice},
      {Facts("usb", "usb_interface", 0x4348, 0), HotplugKind::Other},
      {Facts("usb", "usb_device", 0x27C0, -1), HotplugKind::Other},
      // The interface's own event would announce the bridge a second time.
      {Facts("usb", "usb_interface", 0x27C0, 1), HotplugKind::Other},
      {Facts("input", "", 0x27C0, 0), HotplugKind::Other},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.facts.subsystem + "/" + c.facts.devType + " vendor " +
                 std::to_string(c.facts.info.vendorId) + " interface " +
                 std::to_string(c.facts.info.interfaceNumber));
    EXPECT_EQ(ClassifyHotplug(c.facts), c.kind);
  }
}

TEST(HotplugClassify, FactsFromEventProperties) {
  const std::string usb = "DEVPATH=/devices/pci0000:00/0000:00:14.0/usb1";
  struct Case {
    const char* name;
    std::string uevent;
    HotplugKind kind;
    uint16_t vendor, product;
    int iface;
    uint16_t version;
    const char* devNode;
  };
  const Case cases[] = {
      {"hidraw node as udev sends it: ids and interface only in the path",
       "ACTION=remove\n" + usb +
           "/1-3/1-3:1.1/0003:27C0:0818.0003/hidraw/hidraw9\nSUBSYSTEM=hidraw\n"
           "DEVNAME=/dev/hidraw9\nMAJOR=240\nMINOR=9\n",
       HotplugKind::BridgeCommand, 0x27C0, 0x0818, 1, 0, "/dev/hidraw9"},
      {"digitizer behind a hub, kernel-style DEVNAME",
       usb + "/1-3/1-3.4/1-3.4:1.0/0003:1B96:0F01.000A/hidraw/hidraw4\nSUBSYSTEM=hidraw\n"
             "DEVNAME=hidraw4\nMINOR=4\n",
       HotplugKind::Digitizer, 0x1B96, 0x0F01, 0, 0, "/dev/hidraw4"},
      {"udev's interface number wins over the path",
       usb + "/1-3/1-3:1.0/0003:27C0:0818.0003/hidraw/hidraw9\nSUBSYSTEM=hidraw\n"
             "ID_USB_INTERFACE_NUM=01\n",
       HotplugKind::BridgeCommand, 0x27C0, 0x0818, 1, 0, ""},
      {"virtual HID device: interface from HID_PHYS",
       "DEVPATH=/devices/virtual/misc/uhid/0003:222A:0001.0005/hidraw/hidraw12\n"
       "SUBSYSTEM=hidraw\nHID_PHYS=usb-0000:00:14.0-7/input0\n",
       HotplugKind::Digitizer, 0x222A, 0x0001, 0, 0, ""},
      {"programming device arriving, with udev's ids",
       usb + "/1-4\nSUBSYSTEM=usb\nDEVTYPE=usb_device\nPRODUCT=4348/55e0/250\n"
             "ID_VENDOR_ID=4348\nID_MODEL_ID=55e0\nDEVNAME=/dev/bus/usb/001/007\n",
       HotplugKind::ProgrammingDevice, 0x4348, 0x55E0, -1, 0x250, "/dev/bus/usb/001/007"},
      {"programming device leaving: PRODUCT alone",
       usb + "/1-4\nSUBSYSTEM=usb\nDEVTYPE=usb_device\nPRODUCT=4348/55e0/250\n",
       HotplugKind::ProgrammingDevice, 0x4348, 0x55E0, -1, 0x250, ""},
      {"bridge's USB interface: not counted twice",
       usb + "/1-3/1-3:1.1\nSUBSYSTEM=usb\nDEVTYPE=usb_interface\nPRODUCT=27c0/818/108\n"
             "INTERFACE=3/0/0\n",
       HotplugKind::Other, 0x27C0, 0x0818, 1, 0x108, ""},
      {"INTERFACE is a class triple, not a number",
       "DEVPATH=/devices/virtual/misc/uhid/0003:27C0:0818.0001/hidraw/hidraw3\n"
       "SUBSYSTEM=hidraw\nINTERFACE=1\n",
       HotplugKind::Other, 0x27C0, 0x0818, -1, 0, ""},
      {"garbage everywhere",
       "DEVPATH=/devices/x/0003:ZZZZ:0818.0001/1-a:1.1/hidraw\nSUBSYSTEM=hidraw\n"
       "HID_ID=nonsense\nID_VENDOR_ID=12345\nPRODUCT=1/2\nMINOR=99999999999\nDEVNAME=../etc\n",
       HotplugKind::Other, 0, 0, -1, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const HotplugFacts facts = FactsFromUevent(ParseUevent(c.uevent));
    EXPECT_EQ(ClassifyHotplug(facts), c.kind);
    EXPECT_EQ(facts.info.vendorId, c.vendor);
    EXPECT_EQ(facts.info.productId, c.product);
    EXPECT_EQ(facts.info.interfaceNumber, c.iface);
    EXPECT_EQ(facts.info.version, c.version);
    EXPECT_EQ(facts.info.devNode, c.devNode);
  }
}

TEST(HotplugClassify, SysPathAndMinorFromTheEvent) {
  const HotplugFacts facts = FactsFromUevent(
      ParseUevent("DEVPATH=/devices/virtual/misc/uhid/0003:27C0:0818.0001/hidraw/hidraw3\n"
                  "SUBSYSTEM=hidraw\nMINOR=3\n"));
  EXPECT_EQ(facts.info.sysPath,
            "/sys/devices/virtual/misc/uhid/0003:27C0:0818.0001/hidraw/hidraw3");
  EXPECT_EQ(facts.info.minor, 3u);
  EXPECT_TRUE(FactsFromUevent(ParseUevent("DEVPATH=/devices/../../etc\n")).info.sysPath.empty());
}

// With or without a running udev daemon, the monitor must never block a
// caller's loop: ReadEvent answers at once when nothing is waiting.
TEST(HotplugMonitor, ReadEventDoesNotBlock) {
  HotplugMonitor monitor;
  if (monitor.IsValid()) {
    EXPECT_GE(monitor.Fd(), 0);
    pollfd p{monitor.Fd(), POLLIN, 0};
    if (::poll(&p, 1, 0) == 0) {
      EXPECT_FALSE(monitor.ReadEvent());
    }
  } else {
    EXPECT_EQ(monitor.Fd(), -1);
    EXPECT_FALSE(monitor.ReadEvent());
  }
}

}  // namespace
}  // namespace platform
