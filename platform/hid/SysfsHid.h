#pragma once
// Reads what sysfs says about hidraw nodes, without opening any device: the
// ids of the HID device above the node, the USB interface number and the USB
// device's release number. The sysfs root is a parameter so that the same
// code runs on a fake tree in tests.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hid/HidPort.h"

namespace platform {

struct SysfsHidrawNode {
  HidDeviceInfo info;      // sysPath in the running system's form ("/sys/devices/...")
  bool idsKnown = false;   // vendor and product were found in sysfs
  std::string hidSysPath;  // the HID device the node belongs to; empty when none was found
};

// One hidraw node. sysPath is the node's path as the system names it
// ("/sys/devices/.../hidraw/hidraw3"); it is looked up below sysfsRoot.
// nullopt when the node is gone or is not a device node.
std::optional<SysfsHidrawNode> ReadHidrawNode(const std::filesystem::path& sysfsRoot,
                                              std::string_view sysPath);

// The nodes listed in <sysfsRoot>/sys/class/hidraw, as system paths.
std::vector<std::string> ListHidrawSysPaths(const std::filesystem::path& sysfsRoot);

// ReadHidrawNode for every path; nodes that vanished are left out. Sorted by
// minor number so that "the first match" is the same on every run.
std::vector<SysfsHidrawNode> ReadHidrawNodes(const std::filesystem::path& sysfsRoot,
                                             const std::vector<std::string>& sysPaths);

// Where a system path lives below sysfsRoot; empty when the path is not
// absolute or tries to climb out with "..".
std::filesystem::path SysfsLocation(const std::filesystem::path& sysfsRoot,
                                    std::string_view sysPath);

}  // namespace platform
