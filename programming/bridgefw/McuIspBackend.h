#pragma once
// What programs the bridge box's microcontroller once it sits in its USB
// bootloader: CMcuIsp drives it with its option block and device list; the
// real one speaks the CH55x bootloader protocol over USB (Ch55xUsb).

#include <cstdint>
#include <span>

#include "programming/bridgefw/IspOptionBlock.h"

class IMcuIspBackend {
 public:
  virtual ~IMcuIspBackend() = default;

  // Takes the options for the following calls; false = refused.
  virtual bool SetOption(const IspOptionBlock& block) = 0;
  // Fills the list with the bootloaders found (the list is cleared by the
  // caller) and returns how many; > 0 is success.
  virtual int EnumDevices(IspDeviceList& list) = 0;
  // Writes the image from address 0 into the device `deviceId` named by the
  // list. True only after every byte was verified in the device.
  virtual bool FlashProgram(uint32_t deviceId, std::span<const uint8_t> image) = 0;
  // Leaves the bootloader and starts the written application.
  virtual void IspEnd() = 0;
};
