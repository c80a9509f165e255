#pragma once
// How fuzz_bootloader_answers reads its input (FuzzedDataProvider): from the
// back the number of bootloaders on the bus and the image's length, then, as
// the programmer talks, each transfer's outcome and each answer's length;
// from the front each answer's bytes. The seed generator writes its inputs by
// the same ranges and the same image, so that a seed still decodes as meant
// when they change.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/usb/UsbBulkPort.h"
#include "programming/bridgefw/Ch55xProtocol.h"

namespace bootloader_answer_input {

inline constexpr int kMaxDevices = 2;
// Beyond the largest part's code flash, so that refusals are reached.
inline constexpr size_t kMaxImageBytes = 64 * 1024;
inline constexpr size_t kMaxAnswerBytes = ch55x::kPacketBytes;

// A transfer's outcome: mostly Ok, so that whole sessions are reached.
inline constexpr int kMaxPick = 15;
inline platform::UsbIoResult ResultOf(int pick) {
  switch (pick) {
    case 0:
      return platform::UsbIoResult::Timeout;
    case 1:
      return platform::UsbIoResult::Removed;
    case 2:
      return platform::UsbIoResult::Error;
    default:
      return platform::UsbIoResult::Ok;
  }
}
inline int PickOf(platform::UsbIoResult result) {
  switch (result) {
    case platform::UsbIoResult::Timeout:
      return 0;
    case platform::UsbIoResult::Removed:
      return 1;
    case platform::UsbIoResult::Error:
      return 2;
    case platform::UsbIoResult::Ok:
      break;
  }
  return kMaxPick;
}

// The image written: its bytes follow from its length alone.
inline std::vector<uint8_t> Image(size_t length) {
  std::vector<uint8_t> image(length);
  for (size_t i = 0; i < length; ++i) image[i] = static_cast<uint8_t>(i * 13 + (i >> 8) + 7);
  return image;
}

}  // namespace bootloader_answer_input
