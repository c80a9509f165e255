#pragma once
// The seam between the bridge link and the operating system's HID access.
// HidrawPort (Linux hidraw) is the real implementation; the simulated bridge
// in sim/ is the other one. Everything above this header is platform-free.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Report size of the bridge's input and output reports, report id included.
inline constexpr size_t kHidReportSize = 64;

// One HID interface as found by enumeration, before anything is opened.
struct HidDeviceInfo {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  int interfaceNumber = -1;   // bInterfaceNumber; -1 when unknown
  uint16_t version = 0;       // bcdDevice
  std::string devNode;        // e.g. /dev/hidraw3
  std::string sysPath;        // sysfs path of the hidraw node (may be empty)
  unsigned minor = 0;         // hidraw minor number: the enumeration order
};

enum class HidIoResult {
  Ok,
  Timeout,   // nothing within the time-out
  Removed,   // the device is gone (POLLHUP / ENODEV); fails at once
  Error,     // any other failure
};

class IHidPort {
 public:
  virtual ~IHidPort() = default;

  virtual bool IsOpen() const = 0;
  virtual void Close() = 0;
  virtual const HidDeviceInfo& Info() const = 0;

  // Sends one output report (byte 0 = report id). A write that fails or takes
  // longer than timeoutMs is not Ok.
  virtual HidIoResult Write(const uint8_t* report, size_t length, uint32_t timeoutMs) = 0;

  // Receives one input report into buf (at most capacity bytes); *transferred
  // gets the number of bytes received, report id included. timeoutMs
  // 0xFFFFFFFF waits without limit.
  virtual HidIoResult Read(uint8_t* buf, size_t capacity, size_t* transferred,
                           uint32_t timeoutMs) = 0;

  // Throws away input reports that are already waiting or arrive within 2 ms
  // of each other, ending once 2 ms pass with none.
  virtual void DiscardInput() = 0;
};

// Finds HID interfaces and opens one of them.
class IHidBackend {
 public:
  virtual ~IHidBackend() = default;
  // Every present HID interface, sorted by minor number (stable "first match").
  virtual std::vector<HidDeviceInfo> Enumerate() = 0;
  // nullptr when the node cannot be opened.
  virtual std::unique_ptr<IHidPort> Open(const HidDeviceInfo& info) = 0;
};

}  // namespace platform
