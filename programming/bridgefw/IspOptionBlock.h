#pragma once
// The programmer's 942-byte option block and the entries of its device list,
// kept byte for byte as the bridge programmer has always filled them
// (little-endian fields at fixed, unaligned offsets; every other byte 0).
// The backend decides what the fields mean.

#include <array>
#include <cstddef>
#include <cstdint>

struct IspOptionBlock {
  // Field offsets.
  static constexpr size_t kDeviceType = 4;       // u8: the chip type looked for
  static constexpr size_t kTypeMode = 5;         // u8
  static constexpr size_t kRotationSecond = 6;   // u32
  static constexpr size_t kRotationFirst = 14;   // u32
  static constexpr size_t kFlag18 = 18;          // u32
  static constexpr size_t kFlag22 = 22;          // u32
  static constexpr size_t kTypeFlag26 = 26;      // u32
  static constexpr size_t kFlag48 = 48;          // u32
  static constexpr size_t kTypeAddress60 = 60;   // u32
  static constexpr size_t kFlag844 = 844;        // u32
  static constexpr size_t kFlag848 = 848;        // u8
  static constexpr size_t kTypeMark901 = 901;    // u8
  static constexpr size_t kEnumerate906 = 906;   // u32

  std::array<uint8_t, 942> raw{};

  void SetU8(size_t offset, uint8_t value) { raw.at(offset) = value; }
  void SetU32(size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) raw.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
  }
  uint32_t U32(size_t offset) const {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= uint32_t{raw.at(offset + i)} << (8 * i);
    return value;
  }
  uint8_t DeviceType() const { return raw[kDeviceType]; }
};

// One entry of the device list an enumeration fills; its first u32
// identifies the device to program.
struct IspDeviceEntry {
  std::array<uint8_t, 71> raw{};

  uint32_t Id() const {
    uint32_t id = 0;
    for (size_t i = 0; i < 4; ++i) id |= uint32_t{raw[i]} << (8 * i);
    return id;
  }
  void SetId(uint32_t id) {
    for (size_t i = 0; i < 4; ++i) raw[i] = static_cast<uint8_t>(id >> (8 * i));
  }
};

inline constexpr size_t kIspDeviceListSize = 16;
using IspDeviceList = std::array<IspDeviceEntry, kIspDeviceListSize>;
