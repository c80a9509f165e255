// Reading hidraw nodes from sysfs: the text parsers on their own, then the
// whole walk over the fake tree in tests/data/sysfs.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/hid/HidrawBackend.h"
#include "platform/hid/SysfsHid.h"
#include "platform/hid/UeventText.h"

namespace platform {
namespace {

const std::filesystem::path kFakeSysfs = std::filesystem::path(KESTRANA_TEST_DATA_DIR) / "sysfs";

TEST(UeventText, ParsesKeyValueLinesFirstDuplicateWins) {
  // NUL separators as in netlink messages, CR, a line without '=', an empty key.
  const char raw[] = "A=1\nB=two words\r\nnoequals\n=x\nA=9\0C=\nD=a=b";
  const std::string text(raw, sizeof(raw) - 1);
  const UeventProperties props = ParseUevent(text);
  EXPECT_EQ(UeventValue(props, "A"), "1");
  EXPECT_EQ(UeventValue(props, "B"), "two words");
  EXPECT_EQ(UeventValue(props, "C"), "");
  EXPECT_EQ(UeventValue(props, "D"), "a=b");
  EXPECT_EQ(props.size(), 4u);
  EXPECT_EQ(UeventValue(props, "missing"), "");
}

TEST(UeventText, IgnoresTextBeyondTheLimit) {
  std::string text(kMaxUeventBytes - 2, '\n');
  text += "A=1\nB=2\n";  // A is cut to "A=" by the limit, B lies beyond it
  const UeventProperties props = ParseUevent(text);
  EXPECT_EQ(UeventValue(props, "A"), "");
  EXPECT_EQ(props.count("B"), 0u);
}

TEST(UeventText, NumberParsers) {
  struct Case {
    const char* text;
    uint32_t max;
    std::optional<uint32_t> hex;
    std::optional<uint32_t> dec;
  };
  const Case cases[] = {
      {"01\n", 0xFF, 0x01, 1},
      {"0108", 0xFFFF, 0x108, 108},
      {" 27c0 ", 0xFFFF, 0x27C0, std::nullopt},
      {"1FF", 0xFF, std::nullopt, std::nullopt},  // above the bound
      {"", 0xFF, std::nullopt, std::nullopt},
      {"\n", 0xFF, std::nullopt, std::nullopt},
      {"0x10", 0xFF, std::nullopt, std::nullopt},
      {"-1", 0xFF, std::nullopt, std::nullopt},
      {"1 2", 0xFF, std::nullopt, std::nullopt},
      {"FFFFFFFF", 0xFFFFFFFF, 0xFFFFFFFF, std::nullopt},
      {"123456789", 0xFFFFFFFF, std::nullopt, 123456789},  // nine hex digits: too long
      {"99999999999", 0xFFFFFFFF, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseHexNumber(c.text, c.max), c.hex);
    EXPECT_EQ(ParseDecimalNumber(c.text, c.max), c.dec);
  }
}

TEST(UeventText, HidIdsFromPropertyAndFolderName) {
  struct Case {
    const char* text;
    bool property;  // HID_ID value, else a HID device folder name
    std::optional<uint16_t> vendor;
    uint16_t product;
  };
  const Case cases[] = {
      {"0003:000027C0:00000818", true, 0x27C0, 0x0818},
      {"0003:000027c0:00000818\n", true, 0x27C0, 0x0818},
      {"0003:000127C0:00000818", true, std::nullopt, 0},  // vendor above 16 bits
      {"0003:000027C0", true, std::nullopt, 0},
      {"0003:000027C0:00000818:1", true, std::nullopt, 0},
      {"0003:0000Z7C0:00000818", true, std::nullopt, 0},
      {"0003:27C0:0818.0004", false, 0x27C0, 0x0818},
      {"0018:0ABC:0001.1A2B3", false, 0x0ABC, 0x0001},
      {"0003:27C0:0818", false, std::nullopt, 0},  // no instance
      {"0003:27C0:818.0004", false, std::nullopt, 0},
      {"1-3:1.1", false, std::nullopt, 0},
      {"hidraw", false, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto ids = c.property ? ParseHidId(c.text) : ParseHidDeviceName(c.text);
    ASSERT_EQ(ids.has_value(), c.vendor.has_value());
    if (ids) {
      EXPECT_EQ(ids->vendor, *c.vendor);
      EXPECT_EQ(ids->product, c.product);
    }
  }
}

TEST(UeventText, InterfaceNumbers) {
  struct Case {
    const char* text;
    int fromPhys;
    int fromInterfaceName;
  };
  const Case cases[] = {
      {"usb-0000:00:14.0-3/input1", 1, -1},
      {"usb-0000:00:14.0-3.2/input0\n", 0, -1},
      {"usb-0000:00:14.0-3/input", -1, -1},
      {"usb-0000:00:14.0-3/input1a", -1, -1},
      {"i2c-ABCD0001:00", -1, -1},
      {"1-3:1.1", -1, 1},
      {"1-3.4.1:1.0", -1, 0},
      {"2-1:1.12", -1, 12},  // decimal, not hex
      {"1-3", -1, -1},       // a USB device, not an interface
      {"usb1", -1, -1},
      {"1-3:1", -1, -1},
      {"1-:1.0", -1, -1},
      {"0000:00:14.0", -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(InterfaceFromHidPhys(c.text), c.fromPhys);
    EXPECT_EQ(InterfaceFromUsbInterfaceName(c.text), c.fromInterfaceName);
  }
}

TEST(UeventText, UsbProduct) {
  const auto ids = ParseUsbProduct("4348/55e0/250");
  ASSERT_TRUE(ids);
  EXPECT_EQ(ids->vendor, 0x4348);
  EXPECT_EQ(ids->product, 0x55E0);
  EXPECT_EQ(ids->bcdDevice, 0x250);
  for (const char* bad : {"", "4348/55e0", "4348/55e0/250/1", "14348/55e0/250", "4348//250"}) {
    EXPECT_FALSE(ParseUsbProduct(bad)) << bad;
  }
}

TEST(SysfsHid, EnumeratesTheFakeTreeInMinorOrder) {
  const std::string usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1";
  struct Expected {
    unsigned minor;
    uint16_t vendor, product;
    int interfaceNumber;
    uint16_t version;
    std::string sysPath;
  };
  const Expected expected[] = {
      {2, 0x1234, 0x5678, 0, 0x0200, usb + "/1-2/1-2:1.0/0003:1234:5678.0001/hidraw/hidraw2"},
      {9, 0x27C0, 0x0818, 1, 0x0108, usb + "/1-3/1-3:1.1/0003:27C0:0818.0003/hidraw/hidraw9"},
      {10, 0x27C0, 0x0818, 0, 0x0108, usb + "/1-3/1-3:1.0/0003:27C0:0818.0002/hidraw/hidraw10"},
      {11, 0x0ABC, 0x0001, -1, 0,
       "/sys/devices/platform/i2c-1/i2c-ABCD0001:00/0018:0ABC:0001.0004/hidraw/hidraw11"},
      {12, 0x222A, 0x0001, 0, 0,
       "/sys/devices/virtual/misc/uhid/0003:222A:0001.0005/hidraw/hidraw12"},
  };

  HidrawBackend backend(kFakeSysfs);
  const std::vector<HidDeviceInfo> found = backend.Enumerate();
  ASSERT_EQ(found.size(), std::size(expected));
  for (size_t i = 0; i < found.size(); ++i) {
    const auto& e = expected[i];
    const auto& f = found[i];
    SCOPED_TRACE(e.sysPath);
    EXPECT_EQ(f.minor, e.minor);
    EXPECT_EQ(f.vendorId, e.vendor);
    EXPECT_EQ(f.productId, e.product);
    EXPECT_EQ(f.interfaceNumber, e.interfaceNumber);
    EXPECT_EQ(f.version, e.version);
    EXPECT_EQ(f.sysPath, e.sysPath);
    EXPECT_EQ(f.devNode, "/dev/hidraw" + std::to_string(e.minor));
  }
}

TEST(SysfsHid, NodeDetailsAndRefusedPaths) {
  const std::string hidDevice =
      "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/0003:27C0:0818.0002";
  const auto node = ReadHidrawNode(kFakeSysfs, hidDevice + "/hidraw/hidraw10");
  ASSERT_TRUE(node);
  EXPECT_TRUE(node->idsKnown);
  EXPECT_EQ(node->hidSysPath, hidDevice);
  const auto sameWithSlash = ReadHidrawNode(kFakeSysfs, hidDevice + "/hidraw/hidraw10/");
  ASSERT_TRUE(sameWithSlash);
  EXPECT_EQ(sameWithSlash->info.minor, 10u);
  EXPECT_EQ(sameWithSlash->info.interfaceNumber, 0);

  // Gone, relative, or climbing out of the root: no node.
  for (const char* path : {"/sys/devices/virtual/misc/uhid/0003:222A:0001.0005/hidraw/hidraw99",
                           "sys/devices/virtual/misc/uhid/0003:222A:0001.0005/hidraw/hidraw12",
                           "/sys/../sys/devices/virtual/misc/uhid/0003:222A:0001.0005/hidraw/"
                           "hidraw12"}) {
    EXPECT_FALSE(ReadHidrawNode(kFakeSysfs, path)) << path;
  }
}

TEST(SysfsHid, MissingClassFolderGivesNothing) {
  EXPECT_TRUE(ListHidrawSysPaths(kFakeSysfs / "sys" / "devices").empty());
  EXPECT_TRUE(HidrawBackend(kFakeSysfs / "nowhere").Enumerate().empty());
}

}  // namespace
}  // namespace platform
