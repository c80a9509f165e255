#include "sim/SimDeviceEventSource.h"

#include <utility>
#include <vector>

#include "platform/hid/BridgeVendors.h"

namespace sim {

namespace {

// Classified by the same rules as the system's events.
platform::HotplugEvent EventOf(platform::HotplugAction action, platform::HotplugFacts facts) {
  platform::HotplugEvent event;
  event.action = action;
  event.kind = platform::ClassifyHotplug(facts);
  event.subsystem = facts.subsystem;
  event.info = std::move(facts.info);
  return event;
}

platform::HotplugFacts HidrawFacts(const BridgeConfig& config, const BridgeEvent& event,
                                   int interfaceNumber) {
  platform::HotplugFacts facts;
  facts.subsystem = "hidraw";
  facts.info.vendorId = config.vendorId;
  facts.info.productId = config.productId;
  facts.info.version = event.bcdDevice;
  facts.info.interfaceNumber = interfaceNumber;
  return facts;
}

platform::HotplugFacts LoaderFacts() {
  platform::HotplugFacts loader;
  loader.subsystem = "usb";
  loader.devType = "usb_device";
  loader.info.vendorId = platform::kProgrammerVendorId;
  loader.info.productId = kSimLoaderProductId;
  return loader;
}

}  // namespace

SimDeviceEventSource::SimDeviceEventSource(std::shared_ptr<SimBridge> bridge)
    : bridge_(std::move(bridge)), seen_(bridge_->Events().size()) {}

std::optional<platform::HotplugEvent> SimDeviceEventSource::ReadEvent() {
  std::lock_guard lock(mutex_);
  if (pending_.empty()) {
    const std::vector<BridgeEvent> events = bridge_->Events();
    for (; seen_ < events.size(); ++seen_) Translate(events[seen_]);
  }
  if (pending_.empty()) return std::nullopt;
  platform::HotplugEvent next = std::move(pending_.front());
  pending_.pop_front();
  return next;
}

void SimDeviceEventSource::Translate(const BridgeEvent& event) {
  const BridgeConfig config = bridge_->Config();
  using platform::HotplugAction;
  switch (event.kind) {
    case BridgeEventKind::Unplugged:
    case BridgeEventKind::Replugged: {
      // Both interfaces of the bridge come and go together, in the order
      // the system numbers them.
      const HotplugAction action =
          event.kind == BridgeEventKind::Unplugged ? HotplugAction::Removed : HotplugAction::Added;
      pending_.push_back(EventOf(action, HidrawFacts(config, event, 0)));
      pending_.push_back(EventOf(action, HidrawFacts(config, event, 1)));
      break;
    }
    case BridgeEventKind::ProgrammingDeviceArrived:
      pending_.push_back(EventOf(HotplugAction::Added, LoaderFacts()));
      break;
    case BridgeEventKind::ProgrammingDeviceLeft:
      pending_.push_back(EventOf(HotplugAction::Removed, LoaderFacts()));
      break;
  }
}

}  // namespace sim
