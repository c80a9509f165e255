#include "platform/hid/HotplugMonitor.h"

#include <libudev.h>

#include <string_view>

#include "platform/hid/SysfsHid.h"

namespace platform {

namespace {

// Events looked at per ReadEvent before giving the caller control back, so a
// storm of uninteresting events cannot hold it.
constexpr int kMaxSkippedEvents = 256;

UeventProperties PropertiesOf(udev_device* device) {
  UeventProperties props;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(device)) {
    const char* name = udev_list_entry_get_name(entry);
    const char* value = udev_list_entry_get_value(entry);
    if (name != nullptr && *name != '\0') props.emplace(name, value != nullptr ? value : "");
  }
  return props;
}

std::optional<HotplugAction> ActionOf(const char* action) {
  if (action == nullptr) return std::nullopt;
  const std::string_view text(action);
  if (text == "add") return HotplugAction::Added;
  if (text == "remove") return HotplugAction::Removed;
  return std::nullopt;
}

}  // namespace

HotplugMonitor::HotplugMonitor(std::filesystem::path sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {
  udev_ = udev_new();
  if (udev_ == nullptr) return;
  // "udev" events come after the rules ran, so node permissions are in place.
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr) return;
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
  }
}

HotplugMonitor::~HotplugMonitor() {
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

int HotplugMonitor::Fd() const { return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1; }

std::optional<HotplugEvent> HotplugMonitor::ReadEvent() {
  if (monitor_ == nullptr) return std::nullopt;
  for (int i = 0; i < kMaxSkippedEvents; ++i) {
    // The monitor socket is non-blocking: nullptr means nothing is waiting.
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (device == nullptr) return std::nullopt;
    const auto action = ActionOf(udev_device_get_action(device));
    if (!action) {
      udev_device_unref(device);
      continue;
    }
    HotplugFacts facts = FactsFromUevent(PropertiesOf(device));
    udev_device_unref(device);

    // An arriving node's sysfs folder is complete; it adds the release number
    // and anything the event itself did not carry.
    if (*action == HotplugAction::Added && facts.subsystem == "hidraw" &&
        !facts.info.sysPath.empty()) {
      if (auto node = ReadHidrawNode(sysfsRoot_, facts.info.sysPath); node && node->idsKnown) {
        if (node->info.interfaceNumber < 0) node->info.interfaceNumber = facts.info.interfaceNumber;
        facts.info = std::move(node->info);
      }
    }

    HotplugEvent event;
    event.action = *action;
    event.kind = ClassifyHotplug(facts);
    event.subsystem = std::move(facts.subsystem);
    event.info = std::move(facts.info);
    return event;
  }
  return std::nullopt;
}

}  // namespace platform
