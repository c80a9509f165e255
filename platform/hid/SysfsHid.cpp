#include "platform/hid/SysfsHid.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "platform/files/AtomicFile.h"
#include "platform/hid/UeventText.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

// Steps from a node up to the USB device; real trees need about ten.
constexpr int kMaxAncestorSteps = 32;

// Whole small file (sysfs attributes are at most a page); nullopt when it
// cannot be read or is larger than any uevent text we look at.
std::optional<std::string> ReadSmallFile(const fs::path& path) {
  std::string text;
  if (!ReadFileBytes(path, &text, kMaxUeventBytes)) return std::nullopt;
  return text;
}

UeventProperties ReadUevent(const fs::path& dir) {
  const auto text = ReadSmallFile(dir / "uevent");
  return text ? ParseUevent(*text) : UeventProperties{};
}

std::optional<uint32_t> ReadHexAttribute(const fs::path& dir, const char* name, uint32_t maxValue) {
  const auto text = ReadSmallFile(dir / name);
  return text ? ParseHexNumber(*text, maxValue) : std::nullopt;
}

std::optional<unsigned> MinorOf(const UeventProperties& props, const std::string& name) {
  if (const auto minor = ParseDecimalNumber(UeventValue(props, "MINOR"), 0xFFFFF)) return *minor;
  constexpr std::string_view kPrefix = "hidraw";
  if (name.size() > kPrefix.size() && name.compare(0, kPrefix.size(), kPrefix) == 0) {
    return ParseDecimalNumber(std::string_view(name).substr(kPrefix.size()), 0xFFFFF);
  }
  return std::nullopt;
}

std::string DevNodeOf(const UeventProperties& props, const std::string& name) {
  if (auto node = DevNodeFromName(UeventValue(props, "DEVNAME"))) return *std::move(node);
  return DevNodeFromName(name).value_or(std::string());
}

}  // namespace

fs::path SysfsLocation(const fs::path& sysfsRoot, std::string_view sysPath) {
  const fs::path path(sysPath);
  if (!path.is_absolute()) return {};
  for (const auto& part : path) {
    if (part == "..") return {};
  }
  return sysfsRoot / path.relative_path();
}

std::optional<SysfsHidrawNode> ReadHidrawNode(const fs::path& sysfsRoot, std::string_view sysPath) {
  while (sysPath.size() > 1 && sysPath.back() == '/') sysPath.remove_suffix(1);
  const fs::path nodeDir = SysfsLocation(sysfsRoot, sysPath);
  std::error_code ec;
  if (nodeDir.empty() || !fs::is_directory(nodeDir, ec)) return std::nullopt;

  const std::string name = nodeDir.filename().string();
  if (name.empty()) return std::nullopt;
  const UeventProperties nodeProps = ReadUevent(nodeDir);
  const auto minor = MinorOf(nodeProps, name);
  if (!minor) return std::nullopt;

  SysfsHidrawNode node;
  node.info.minor = *minor;
  node.info.devNode = DevNodeOf(nodeProps, name);
  node.info.sysPath = std::string(sysPath);

  // Climb towards the USB device, taking the first HID device, USB interface
  // and USB device on the way. The hidraw/ folder between the node and its
  // HID device has no uevent and is simply passed.
  const fs::path stop = sysfsRoot / "sys" / "devices";
  fs::path sysCur = fs::path(sysPath).parent_path();
  std::optional<HidIds> hidIds;
  std::string hidPhys;
  bool interfaceSeen = false;
  for (int step = 0; step < kMaxAncestorSteps; ++step) {
    const fs::path dir = sysfsRoot / sysCur.relative_path();
    if (sysCur == sysCur.root_path() || dir == stop || dir == sysfsRoot / "sys") break;
    const UeventProperties props = ReadUevent(dir);
    const std::string_view devType = UeventValue(props, "DEVTYPE");
    if (node.hidSysPath.empty() && props.count("HID_ID")) {
      node.hidSysPath = sysCur.string();
      hidIds = ParseHidId(UeventValue(props, "HID_ID"));
      if (!hidIds) hidIds = ParseHidDeviceName(sysCur.filename().string());
      hidPhys = std::string(UeventValue(props, "HID_PHYS"));
    } else if (!interfaceSeen && devType == "usb_interface") {
      interfaceSeen = true;
      if (const auto number = ReadHexAttribute(dir, "bInterfaceNumber", 0xFF)) {
        node.info.interfaceNumber = static_cast<int>(*number);
      } else {
        node.info.interfaceNumber = InterfaceFromUsbInterfaceName(sysCur.filename().string());
      }
    } else if (devType == "usb_device") {
      const auto vendor = ReadHexAttribute(dir, "idVendor", 0xFFFF);
      const auto product = ReadHexAttribute(dir, "idProduct", 0xFFFF);
      const auto bcd = ReadHexAttribute(dir, "bcdDevice", 0xFFFF);
      const auto fromEvent = ParseUsbProduct(UeventValue(props, "PRODUCT"));
      if (!hidIds && vendor && product) {
        hidIds = HidIds{0x0003, static_cast<uint16_t>(*vendor), static_cast<uint16_t>(*product)};
      }
      if (!hidIds && fromEvent) hidIds = HidIds{0x0003, fromEvent->vendor, fromEvent->product};
      if (bcd) {
        node.info.version = static_cast<uint16_t>(*bcd);
      } else if (fromEvent) {
        node.info.version = fromEvent->bcdDevice;
      }
      break;
    }
    sysCur = sysCur.parent_path();
  }

  if (node.info.interfaceNumber < 0) node.info.interfaceNumber = InterfaceFromHidPhys(hidPhys);
  if (hidIds) {
    node.info.vendorId = hidIds->vendor;
    node.info.productId = hidIds->product;
    node.idsKnown = true;
  }
  return node;
}

std::vector<std::string> ListHidrawSysPaths(const fs::path& sysfsRoot) {
  std::vector<std::string> paths;
  std::error_code ec;
  const fs::path rootCanon = fs::canonical(sysfsRoot, ec);
  if (ec) return paths;
  fs::directory_iterator it(sysfsRoot / "sys" / "class" / "hidraw", ec);
  if (ec) return paths;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code entryEc;
    const fs::path real = fs::canonical(it->path(), entryEc);
    if (entryEc) continue;  // dangling: the device went away while we looked
    const fs::path rel = real.lexically_relative(rootCanon);
    if (rel.empty() || *rel.begin() == "..") continue;
    paths.push_back("/" + rel.generic_string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::vector<SysfsHidrawNode> ReadHidrawNodes(const fs::path& sysfsRoot,
                                             const std::vector<std::string>& sysPaths) {
  std::vector<SysfsHidrawNode> nodes;
  for (const auto& path : sysPaths) {
    if (auto node = ReadHidrawNode(sysfsRoot, path)) nodes.push_back(std::move(*node));
  }
  std::sort(nodes.begin(), nodes.end(), [](const SysfsHidrawNode& a, const SysfsHidrawNode& b) {
    if (a.info.minor != b.info.minor) return a.info.minor < b.info.minor;
    return a.info.sysPath < b.info.sysPath;
  });
  return nodes;
}

}  // namespace platform
