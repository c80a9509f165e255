#pragma once
// The real CH55x backend and CMcuIsp over a simulated bootloader.

#include <memory>
#include <vector>

#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"
#include "sim/ch55x/SimCh55xBootloader.h"
#include "sim/ch55x/SimCh55xUsbBackend.h"

struct Ch55xRig {
  explicit Ch55xRig(sim::Ch55xConfig config = {}, bool powered = true)
      : loader(usb.AddLoader(std::make_shared<sim::SimCh55xBootloader>(config))) {
    if (powered) loader->PowerUp();
  }

  // The OUT transfers seen so far.
  std::vector<std::vector<uint8_t>> Requests() const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& t : loader->Transfers()) {
      if (t.out) out.push_back(t.bytes);
    }
    return out;
  }

  sim::SimCh55xUsbBackend usb;
  std::shared_ptr<sim::SimCh55xBootloader> loader;
  Ch55xUsbBackend backend{usb};
  CMcuIsp isp{backend};
};
