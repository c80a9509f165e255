#pragma once
// Report builders shared by the simulator tests.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "platform/hid/HidPort.h"
#include "sim/SimBridgePort.h"

namespace sim::test {

using Report = std::array<uint8_t, platform::kHidReportSize>;

inline Report MakeReport(uint8_t op, uint8_t cmd, uint16_t address, uint16_t length,
                         const std::vector<uint8_t>& data = {}) {
  Report r{};
  r[0] = 3;
  r[1] = op;
  r[2] = cmd;
  r[3] = static_cast<uint8_t>(address >> 8);
  r[4] = static_cast<uint8_t>(address);
  r[5] = static_cast<uint8_t>(length >> 8);
  r[6] = static_cast<uint8_t>(length);
  for (size_t i = 0; i < data.size() && 7 + i < r.size(); ++i) r[7 + i] = data[i];
  return r;
}

inline platform::HidIoResult Send(platform::IHidPort& port, const Report& r) {
  return port.Write(r.data(), r.size(), 200);
}

// Writes data at address as the host does: one report per 57-byte chunk, each
// with its own address and chunk length.
inline void SendWrite(platform::IHidPort& port, uint8_t cmd, uint16_t address,
                      const std::vector<uint8_t>& data) {
  size_t offset = 0;
  do {
    const size_t chunk = std::min<size_t>(57, data.size() - offset);
    std::vector<uint8_t> part(data.begin() + offset, data.begin() + offset + chunk);
    Send(port, MakeReport(1, cmd, static_cast<uint16_t>(address + offset),
                          static_cast<uint16_t>(chunk), part));
    offset += chunk;
  } while (offset < data.size());
}

struct Received {
  platform::HidIoResult result;
  std::vector<uint8_t> bytes;  // transferred bytes, report id included
};

inline Received ReadOne(platform::IHidPort& port, uint32_t timeoutMs = 100) {
  Report buf{};
  size_t n = 0;
  const platform::HidIoResult result = port.Read(buf.data(), buf.size(), &n, timeoutMs);
  return {result, std::vector<uint8_t>(buf.begin(), buf.begin() + n)};
}

// Collects `length` data bytes as the host does: (transferred - 1) bytes from
// each report. Stops at the first failed read.
inline std::vector<uint8_t> CollectAnswer(platform::IHidPort& port, size_t length,
                                          uint32_t timeoutMs = 100) {
  std::vector<uint8_t> out;
  while (out.size() < length) {
    Received r = ReadOne(port, timeoutMs);
    if (r.result != platform::HidIoResult::Ok) break;
    for (size_t i = 1; i < r.bytes.size() && out.size() < length; ++i) out.push_back(r.bytes[i]);
  }
  return out;
}

inline std::vector<uint8_t> ReadRegs(platform::IHidPort& port, uint16_t address, uint16_t length,
                                     uint8_t cmd = 15) {
  Send(port, MakeReport(0, cmd, address, length));
  return CollectAnswer(port, length);
}

}  // namespace sim::test
