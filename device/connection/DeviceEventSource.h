#pragma once
// Where arrivals and removals of bridge interfaces come from: the system's
// udev monitor, or the simulated bridge when the program drives one. The
// window watches a source the same way whichever it is.

#include <memory>
#include <optional>

#include "platform/hid/HotplugMonitor.h"

class IDeviceEventSource {
 public:
  virtual ~IDeviceEventSource() = default;
  // A descriptor that becomes readable when events wait; -1 when the source
  // has none and must be asked at short intervals instead.
  virtual int Fd() const = 0;
  // The next event, or nullopt when none waits. Never blocks.
  virtual std::optional<platform::HotplugEvent> ReadEvent() = 0;
};

// The udev monitor on hidraw and usb devices; nullptr when udev cannot be
// reached (no netlink socket, as in some containers).
std::unique_ptr<IDeviceEventSource> MakeUdevEventSource();
