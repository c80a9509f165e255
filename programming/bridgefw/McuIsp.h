#pragma once
// CMcuIsp: programs the bridge box's CH55x microcontroller once the box sits
// in its USB bootloader. It keeps the option block, the device list of the
// last enumeration and the image (at most 128 KiB) and drives an
// IMcuIspBackend: enumeration tries each known chip type in turn; a write is
// tried up to four times, moving the option block to the next of four
// option pairs after every failure (the pair reached is kept for the next
// run). Used by one thread at a time.

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <utility>
#include <vector>

#include "programming/bridgefw/IspOptionBlock.h"
#include "programming/bridgefw/McuIspBackend.h"
#include "programming/bridgefw/McuProgrammer.h"

class CMcuIsp : public IMcuProgrammer {
 public:
  // Chip types tried by EnumDevices, in order.
  static constexpr std::array<uint8_t, 5> kDeviceTypes = {0x51, 0x52, 0x54, 0x78, 0x79};
  // (first value to offset 14, second to offset 6) of each option pair.
  static constexpr std::array<std::pair<uint32_t, uint32_t>, 4> kRotation = {
      {{1, 0}, {1, 1}, {0, 0}, {0, 1}}};
  static constexpr int kProgramAttempts = 4;

  // The backend outlives this object.
  explicit CMcuIsp(IMcuIspBackend& backend);

  bool EnumDevices() override;
  uint8_t DeviceType() const override { return option_.DeviceType(); }
  bool LoadHexFile(const std::filesystem::path& path) override;
  bool LoadAndProgram(const std::filesystem::path& path) override;
  void SetImage(std::span<const uint8_t> image) override;
  bool Program() override;
  std::span<const uint8_t> Image() const override;
  const McuImageSource& Source() const override { return source_; }

  const IspOptionBlock& OptionBlock() const { return option_; }
  int RotationIndex() const { return rotation_; }
  int DeviceCount() const { return deviceCount_; }

 private:
  // Reads the file into the image by its extension; throws.
  void LoadImage(const std::filesystem::path& path);
  void TakeImage(std::span<const uint8_t> bytes, size_t length);
  void SetDeviceType(uint8_t type);

  IMcuIspBackend& backend_;
  int deviceCount_ = 0;
  IspOptionBlock option_;
  int rotation_ = 0;
  std::vector<uint8_t> image_;
  size_t imageLength_ = 0;
  // Set by every successful load or SetImage, cleared when a load starts:
  // Program writes nothing else.
  bool imageValid_ = false;
  McuImageSource source_;
  IspDeviceList devices_{};
};
