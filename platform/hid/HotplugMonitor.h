#pragma once
// Arrival and removal of bridge interfaces and of the programming device,
// from a udev monitor on the hidraw and usb subsystems. The monitor only
// offers a pollable descriptor and a non-blocking read, so it fits a plain
// poll() loop as well as a GUI event loop's socket notifier.

#include <filesystem>
#include <optional>

#include "platform/hid/HotplugClassify.h"

struct udev;
struct udev_monitor;

namespace platform {

struct HotplugEvent {
  HotplugAction action = HotplugAction::Added;
  HotplugKind kind = HotplugKind::Other;
  std::string subsystem;
  HidDeviceInfo info;
};

class HotplugMonitor {
 public:
  // sysfsRoot is where an arriving hidraw node's details are read.
  explicit HotplugMonitor(std::filesystem::path sysfsRoot = "/");
  ~HotplugMonitor();
  HotplugMonitor(const HotplugMonitor&) = delete;
  HotplugMonitor& operator=(const HotplugMonitor&) = delete;

  // false when the monitor could not be set up (no netlink, no udev).
  bool IsValid() const { return monitor_ != nullptr; }
  // Becomes readable when events wait; -1 when not valid.
  int Fd() const;

  // The next arrival or removal, or nullopt when none is waiting (never
  // blocks). Other actions (bind, change, ...) are skipped; after a long run
  // of them nullopt comes early and the descriptor stays readable.
  std::optional<HotplugEvent> ReadEvent();

 private:
  std::filesystem::path sysfsRoot_;
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
};

}  // namespace platform
