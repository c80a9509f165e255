#include "platform/hid/HidrawBackend.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/hid/HidrawPort.h"
#include "platform/hid/SysfsHid.h"

namespace platform {

namespace {

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
};

// Node paths as libudev lists them; empty when libudev fails or knows none.
std::vector<std::string> UdevHidrawSysPaths() {
  std::vector<std::string> paths;
  std::unique_ptr<udev, UdevDeleter> context(udev_new());
  if (!context) return paths;
  std::unique_ptr<udev_enumerate, UdevDeleter> enumerate(udev_enumerate_new(context.get()));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0) {
    return paths;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    if (const char* sysPath = udev_list_entry_get_name(entry)) paths.emplace_back(sysPath);
  }
  return paths;
}

// Ids straight from the driver, for a node whose sysfs entries did not say.
// Opens the node read-only for the query alone; nothing is sent.
void FillIdsFromDriver(HidDeviceInfo& info) {
  const int fd = ::open(info.devNode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  hidraw_devinfo raw{};
  if (::ioctl(fd, HIDIOCGRAWINFO, &raw) == 0) {
    info.vendorId = static_cast<uint16_t>(raw.vendor);
    info.productId = static_cast<uint16_t>(raw.product);
  }
  ::close(fd);
}

}  // namespace

HidrawBackend::HidrawBackend(std::filesystem::path sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

std::vector<HidDeviceInfo> HidrawBackend::Enumerate() {
  const bool realSystem = sysfsRoot_ == "/";
  std::vector<std::string> paths;
  if (realSystem) paths = UdevHidrawSysPaths();
  if (paths.empty()) paths = ListHidrawSysPaths(sysfsRoot_);

  std::vector<HidDeviceInfo> result;
  for (auto& node : ReadHidrawNodes(sysfsRoot_, paths)) {
    if (!node.idsKnown && realSystem) FillIdsFromDriver(node.info);
    result.push_back(std::move(node.info));
  }
  return result;
}

std::unique_ptr<IHidPort> HidrawBackend::Open(const HidDeviceInfo& info) {
  if (info.devNode.empty()) return nullptr;
  const int fd = ::open(info.devNode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<HidrawPort>(fd, info);
}

}  // namespace platform
