// IUsbBackend over libusb-1.0: one context for the backend's life; each
// opened port owns its handle and releases its interface when destroyed.

#include <libusb.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <tuple>

#include "platform/usb/UsbBulkPort.h"

namespace platform {

namespace {

UsbIoResult ResultOf(int status) {
  switch (status) {
    case LIBUSB_SUCCESS:
      return UsbIoResult::Ok;
    case LIBUSB_ERROR_TIMEOUT:
      return UsbIoResult::Timeout;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
      return UsbIoResult::Removed;
    default:
      return UsbIoResult::Error;
  }
}

// libusb takes 0 as "no limit"; our callers always mean a bound.
unsigned int TimeoutOf(uint32_t timeoutMs) { return std::max<uint32_t>(timeoutMs, 1); }

class LibusbPort : public IUsbBulkPort {
 public:
  LibusbPort(libusb_device_handle* handle, UsbBulkPipe pipe) : handle_(handle), pipe_(pipe) {}
  ~LibusbPort() override {
    libusb_release_interface(handle_, pipe_.interfaceNumber);
    libusb_close(handle_);
  }
  LibusbPort(const LibusbPort&) = delete;
  LibusbPort& operator=(const LibusbPort&) = delete;

  UsbIoResult Write(std::span<const uint8_t> data, uint32_t timeoutMs) override {
    if (data.size() > INT_MAX) return UsbIoResult::Error;
    int sent = 0;
    const int status = libusb_bulk_transfer(handle_, pipe_.outEndpoint,
                                            const_cast<unsigned char*>(data.data()),
                                            static_cast<int>(data.size()), &sent,
                                            TimeoutOf(timeoutMs));
    if (status != LIBUSB_SUCCESS) return ResultOf(status);
    return static_cast<size_t>(sent) == data.size() ? UsbIoResult::Ok : UsbIoResult::Error;
  }

  UsbIoResult Read(std::span<uint8_t> buf, size_t* transferred, uint32_t timeoutMs) override {
    *transferred = 0;
    if (buf.size() > INT_MAX) return UsbIoResult::Error;
    int received = 0;
    const int status = libusb_bulk_transfer(handle_, pipe_.inEndpoint, buf.data(),
                                            static_cast<int>(buf.size()), &received,
                                            TimeoutOf(timeoutMs));
    if (status != LIBUSB_SUCCESS) return ResultOf(status);
    *transferred = static_cast<size_t>(received);
    return UsbIoResult::Ok;
  }

 private:
  libusb_device_handle* handle_;
  UsbBulkPipe pipe_;
};

class LibusbBackend : public IUsbBackend {
 public:
  explicit LibusbBackend(libusb_context* context) : context_(context) {}
  ~LibusbBackend() override { libusb_exit(context_); }
  LibusbBackend(const LibusbBackend&) = delete;
  LibusbBackend& operator=(const LibusbBackend&) = delete;

  std::vector<UsbDeviceInfo> Enumerate(std::span<const UsbId> ids) override {
    std::vector<UsbDeviceInfo> found;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    for (ssize_t i = 0; i < count; ++i) {
      libusb_device_descriptor descriptor{};
      if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS) continue;
      const bool wanted = std::any_of(ids.begin(), ids.end(), [&](const UsbId& id) {
        return id.vendorId == descriptor.idVendor && id.productId == descriptor.idProduct;
      });
      if (!wanted) continue;
      found.push_back(UsbDeviceInfo{{descriptor.idVendor, descriptor.idProduct},
                                    libusb_get_bus_number(list[i]),
                                    libusb_get_device_address(list[i])});
    }
    if (list != nullptr) libusb_free_device_list(list, 1);
    std::sort(found.begin(), found.end(), [](const UsbDeviceInfo& a, const UsbDeviceInfo& b) {
      return std::tie(a.bus, a.address) < std::tie(b.bus, b.address);
    });
    return found;
  }

  std::unique_ptr<IUsbBulkPort> Open(const UsbDeviceInfo& device,
                                     const UsbBulkPipe& pipe) override {
    libusb_device_handle* handle = OpenHandle(device);
    if (handle == nullptr) return nullptr;
    // Harmless where no kernel driver binds (the bootloader's case).
    libusb_set_auto_detach_kernel_driver(handle, 1);
    int active = 0;
    if (libusb_get_configuration(handle, &active) != LIBUSB_SUCCESS ||
        (active != pipe.configuration &&
         libusb_set_configuration(handle, pipe.configuration) != LIBUSB_SUCCESS) ||
        libusb_claim_interface(handle, pipe.interfaceNumber) != LIBUSB_SUCCESS) {
      libusb_close(handle);
      return nullptr;
    }
    return std::make_unique<LibusbPort>(handle, pipe);
  }

 private:
  libusb_device_handle* OpenHandle(const UsbDeviceInfo& device) {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    libusb_device_handle* handle = nullptr;
    for (ssize_t i = 0; i < count && handle == nullptr; ++i) {
      if (libusb_get_bus_number(list[i]) != device.bus ||
          libusb_get_device_address(list[i]) != device.address) {
        continue;
      }
      if (libusb_open(list[i], &handle) != LIBUSB_SUCCESS) handle = nullptr;
    }
    if (list != nullptr) libusb_free_device_list(list, 1);
    return handle;
  }

  libusb_context* context_;
};

}  // namespace

std::unique_ptr<IUsbBackend> MakeLibusbBackend() {
  libusb_context* context = nullptr;
  if (libusb_init(&context) != LIBUSB_SUCCESS) return nullptr;
  return std::make_unique<LibusbBackend>(context);
}

}  // namespace platform
