#pragma once
// An IMcuIspBackend that records what CMcuIsp asks of it.

#include <cstdint>
#include <optional>
#include <vector>

#include "programming/bridgefw/McuIspBackend.h"

class FakeMcuIspBackend : public IMcuIspBackend {
 public:
  // The chip type of the present bootloader (none when nullopt).
  std::optional<uint8_t> presentType;
  bool acceptOptions = true;
  // FlashProgram fails this many times before it succeeds.
  int failWrites = 0;

  std::vector<IspOptionBlock> options;
  int enumCalls = 0;
  std::vector<std::vector<uint8_t>> writes;
  std::vector<uint32_t> writeIds;
  int ends = 0;

  bool SetOption(const IspOptionBlock& block) override {
    options.push_back(block);
    return acceptOptions;
  }
  int EnumDevices(IspDeviceList& list) override {
    ++enumCalls;
    if (!presentType || options.empty() || options.back().DeviceType() != *presentType) return 0;
    list[0].SetId(0x1234);
    return 1;
  }
  bool FlashProgram(uint32_t deviceId, std::span<const uint8_t> image) override {
    writeIds.push_back(deviceId);
    writes.emplace_back(image.begin(), image.end());
    if (failWrites > 0) {
      --failWrites;
      return false;
    }
    return true;
  }
  void IspEnd() override { ++ends; }

  int Calls() const {
    return static_cast<int>(options.size() + writes.size()) + enumCalls + ends;
  }
};
