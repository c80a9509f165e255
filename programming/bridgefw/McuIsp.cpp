#include "programming/bridgefw/McuIsp.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "device/UserMessageError.h"
#include "programming/bridgefw/IntelHex.h"
#include "programming/bridgefw/McuImageFile.h"

namespace {

// Types whose option fields differ from the others'.
bool IsWideType(uint8_t type) { return type == 0x78 || type == 0x79; }

}  // namespace

CMcuIsp::CMcuIsp(IMcuIspBackend& backend) : backend_(backend), image_(kMcuImageCapacity, 0) {
  option_.SetU8(IspOptionBlock::kDeviceType, kDeviceTypes[0]);
  option_.SetU32(IspOptionBlock::kRotationFirst, kRotation[0].first);
  option_.SetU32(IspOptionBlock::kRotationSecond, kRotation[0].second);
  option_.SetU32(IspOptionBlock::kFlag18, 1);
  option_.SetU32(IspOptionBlock::kFlag22, 1);
  option_.SetU32(IspOptionBlock::kFlag48, 1);
  option_.SetU32(IspOptionBlock::kFlag844, 1);
  option_.SetU8(IspOptionBlock::kFlag848, 1);
}

void CMcuIsp::SetDeviceType(uint8_t type) {
  const bool wide = IsWideType(type);
  option_.SetU8(IspOptionBlock::kDeviceType, type);
  option_.SetU8(IspOptionBlock::kTypeMode, wide ? 3 : 0);
  option_.SetU32(IspOptionBlock::kTypeFlag26, wide ? 1 : 0);
  option_.SetU32(IspOptionBlock::kTypeAddress60, wide ? 0xE000 : 0);
  option_.SetU8(IspOptionBlock::kTypeMark901, wide ? 0xFF : 0);
}

bool CMcuIsp::EnumDevices() {
  for (uint8_t type : kDeviceTypes) {
    SetDeviceType(type);
    option_.SetU32(IspOptionBlock::kEnumerate906, 1);
    if (!backend_.SetOption(option_)) return false;
    devices_ = IspDeviceList{};
    deviceCount_ = backend_.EnumDevices(devices_);
    if (deviceCount_ > 0) return true;
  }
  return false;
}

void CMcuIsp::TakeImage(std::span<const uint8_t> bytes, size_t length) {
  std::fill(image_.begin(), image_.end(), uint8_t{0});
  std::copy(bytes.begin(), bytes.end(), image_.begin());
  imageLength_ = length;
  imageValid_ = true;
}

void CMcuIsp::LoadImage(const std::filesystem::path& path) {
  if (ImageExtensionOf(path) == "hex") {
    const HexImage hex = ReadHexFile(path);
    TakeImage(hex.bytes, hex.length);
  } else {
    const std::vector<uint8_t> image = ReadBinaryImage(path);
    TakeImage(image, image.size());
  }
}

bool CMcuIsp::LoadHexFile(const std::filesystem::path& path) {
  imageValid_ = false;
  source_ = McuImageSource{};
  source_.extension = ImageExtensionOf(path);
  source_.versionText = ImageVersionTextOf(path);
  LoadImage(path);
  source_.loaded = true;
  source_.path = path;
  std::error_code ec;
  source_.writeTime = std::filesystem::last_write_time(path, ec);
  return true;
}

bool CMcuIsp::LoadAndProgram(const std::filesystem::path& path) {
  if (deviceCount_ <= 0) return false;
  imageValid_ = false;
  // The image no longer comes from the recorded file: a caller that checks
  // Source() before programming must not take it for its own.
  source_ = McuImageSource{};
  LoadImage(path);
  return Program();
}

void CMcuIsp::SetImage(std::span<const uint8_t> image) {
  if (image.size() > kMcuImageCapacity) {
    throw UserMessageError(std::string(kRemoteImageTooLargeText));
  }
  // The image no longer comes from the recorded file.
  source_ = McuImageSource{};
  TakeImage(image, image.size());
}

std::span<const uint8_t> CMcuIsp::Image() const {
  if (!imageValid_) return {};
  return std::span<const uint8_t>(image_).first(imageLength_);
}

bool CMcuIsp::Program() {
  if (!imageValid_ || imageLength_ == 0) return false;
  for (int attempt = 0; attempt < kProgramAttempts; ++attempt) {
    if (backend_.FlashProgram(devices_[0].Id(), Image())) {
      backend_.IspEnd();
      return true;
    }
    rotation_ = (rotation_ + 1) & 3;
    option_.SetU32(IspOptionBlock::kRotationFirst, kRotation[static_cast<size_t>(rotation_)].first);
    option_.SetU32(IspOptionBlock::kRotationSecond,
                   kRotation[static_cast<size_t>(rotation_)].second);
    backend_.SetOption(option_);
  }
  return false;
}
