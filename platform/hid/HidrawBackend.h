#pragma once
// Finds hidraw nodes and opens them. The node list comes from libudev (the
// same paths /sys/class/hidraw holds, listed directly when libudev has
// nothing), and everything about a node is read from sysfs before anything
// is opened, so no foreign device ever sees a report of ours.

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/hid/HidPort.h"

namespace platform {

class HidrawBackend final : public IHidBackend {
 public:
  // sysfsRoot other than "/" is a fake tree: libudev, which only knows the
  // running system, is then left out.
  explicit HidrawBackend(std::filesystem::path sysfsRoot = "/");

  std::vector<HidDeviceInfo> Enumerate() override;
  // Opens info.devNode read/write, non-blocking; nullptr on failure.
  std::unique_ptr<IHidPort> Open(const HidDeviceInfo& info) override;

 private:
  std::filesystem::path sysfsRoot_;
};

}  // namespace platform
