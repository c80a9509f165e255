#pragma once
// IMcuIspBackend over the CH55x USB bootloader. Enumeration opens every
// bootloader on the bus, asks each for its chip type and keeps those of the
// type the option block seeks (parts of unknown families are never kept).
// A write runs: identify, read config, set key (checking the sum), erase
// enough 1 KiB sectors for the image, program every 56-byte chunk, set key
// again, verify every chunk. An image larger than the part's code flash is
// refused before anything is erased. Every transfer is bounded by a
// time-out; a device that left the bus fails the rest of the session at
// once. A verify that failed is never tried again in the same session (the
// chip would not pass before a power cycle, and each erase wears the flash):
// later writes fail at once. End is sent only after a write that verified.
// The option block's other fields mean nothing to this bootloader.
//
// The bootloader's interface is claimed only inside a call: enumeration and
// every write let it go again when they end, failed or not, and a write
// that verified keeps it only until IspEnd. A second claim of a claimed
// interface fails, so a device held after a failed burn would be lost to
// every other programmer (the module test's and the main window's share the
// bootloader) until it enumerated again.
// One thread at a time.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/usb/UsbBulkPort.h"
#include "programming/bridgefw/Ch55xProtocol.h"
#include "programming/bridgefw/McuIspBackend.h"

class Ch55xUsbBackend : public IMcuIspBackend {
 public:
  // The USB backend outlives this object.
  explicit Ch55xUsbBackend(platform::IUsbBackend& usb);

  bool SetOption(const IspOptionBlock& block) override;
  int EnumDevices(IspDeviceList& list) override;
  bool FlashProgram(uint32_t deviceId, std::span<const uint8_t> image) override;
  void IspEnd() override;

 private:
  // One bootloader found by the last enumeration.
  struct Session {
    platform::UsbDeviceInfo device;
    // Open only inside a call (and from a verified write until IspEnd).
    std::unique_ptr<platform::IUsbBulkPort> port;
    bool gone = false;  // the device left the bus
    uint8_t chipType = 0;
    size_t userFlashBytes = 0;
    bool answerOverdue = false;  // a read timed out: a late answer may still come
    bool verifyFailed = false;
    bool verified = false;
  };

  Session* Find(uint32_t deviceId);
  // FlashProgram's work on the opened port.
  bool Burn(Session& session, std::span<const uint8_t> image);
  // Sends one request and returns the payload of its answer; nullopt on any
  // failure.
  std::optional<std::vector<uint8_t>> Exchange(Session& session, const std::vector<uint8_t>& request,
                                               uint32_t timeoutMs);
  // Status-only commands: true when the answer's first byte is 0.
  bool Act(Session& session, const std::vector<uint8_t>& request, uint32_t timeoutMs);
  std::optional<ch55x::Key> SetKey(Session& session);
  // Identify on an open port: the chip type and family of a 2.x bootloader.
  std::optional<std::pair<uint8_t, uint8_t>> Identify(Session& session);
  bool Chunks(Session& session, uint8_t command, std::span<const uint8_t> image,
              const ch55x::Key& key);

  platform::IUsbBackend& usb_;
  uint8_t soughtType_ = 0;
  std::vector<Session> sessions_;
};
