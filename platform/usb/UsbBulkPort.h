#pragma once
// The seam between the bridge programmer and the operating system's USB
// access: a pair of bulk endpoints on one claimed interface. LibusbBackend is
// the real implementation; the simulated bootloader in sim/ is the other.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform {

struct UsbId {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

// One USB device as found by enumeration, before anything is opened.
struct UsbDeviceInfo {
  UsbId id;
  uint8_t bus = 0;
  uint8_t address = 0;
};

// The interface and the endpoints to claim.
struct UsbBulkPipe {
  int configuration = 1;
  int interfaceNumber = 0;
  uint8_t outEndpoint = 0x02;
  uint8_t inEndpoint = 0x82;
};

enum class UsbIoResult {
  Ok,
  Timeout,  // nothing within the time-out
  Removed,  // the device is gone; fails at once
  Error,    // any other failure (stall, overflow, short write)
};

class IUsbBulkPort {
 public:
  virtual ~IUsbBulkPort() = default;
  // Sends all of data as one bulk transfer.
  virtual UsbIoResult Write(std::span<const uint8_t> data, uint32_t timeoutMs) = 0;
  // Receives one bulk transfer into buf; *transferred gets its length.
  virtual UsbIoResult Read(std::span<uint8_t> buf, size_t* transferred, uint32_t timeoutMs) = 0;
};

class IUsbBackend {
 public:
  virtual ~IUsbBackend() = default;
  // Present devices with one of the given ids, in bus/address order.
  virtual std::vector<UsbDeviceInfo> Enumerate(std::span<const UsbId> ids) = 0;
  // The pipe on an opened and claimed interface; nullptr when it cannot be had.
  // The port holds the claim until it is destroyed; meanwhile another Open of
  // the same interface fails (Linux refuses a second claim with EBUSY), so a
  // caller keeps a port no longer than it needs it.
  virtual std::unique_ptr<IUsbBulkPort> Open(const UsbDeviceInfo& device,
                                             const UsbBulkPipe& pipe) = 0;
};

// libusb-1.0 over the system's USB devices; nullptr when libusb cannot start.
std::unique_ptr<IUsbBackend> MakeLibusbBackend();

}  // namespace platform
