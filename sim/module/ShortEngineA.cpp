#include "sim/module/ShortEngineA.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace sim {

namespace {

constexpr uint16_t kHold = 0x4180;
constexpr uint16_t kImage = 0xC000;
constexpr uint16_t kRunFlag = 0x5095;
constexpr uint16_t kBlock = 0x8804;
constexpr size_t kBlockBytes = 79;
constexpr uint16_t kDone = 0x8800;
constexpr uint16_t kTxRecords = 0x8860;
constexpr uint16_t kRxRecords = 0xA0D2;
constexpr uint16_t kSupply = 0xA531;
constexpr size_t kTxBytes = 149;
constexpr size_t kRxBytes = 65;

bool SameGroup(int a, int j) {
  auto group = [](int c) { return c < 15 ? 0 : (c < 30 ? 1 : 2); };
  return group(a) == group(j);
}

// The value v for which base x k / v - offset gives the resistance.
uint16_t ValueFor(int64_t kOhm, int64_t k, int64_t offset) {
  const int64_t v = int64_t{ShortEngineA::kBase} * k / std::max<int64_t>(1, kOhm + offset);
  return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 0xFFFF));
}

void PutBigEndian(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value >> 8);
  bytes[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

std::vector<uint8_t> Record(size_t bytes, int channel) {
  std::vector<uint8_t> record(bytes);
  record[0] = static_cast<uint8_t>(channel & 0x7F);
  PutBigEndian(record, 1, ShortEngineA::kBase);
  return record;
}

}  // namespace

void ShortEngineA::Attach(SimChip& chip) {
  // A flash personality of the same chip may watch these registers too: its
  // hooks keep running first.
  const auto chain = [&chip](uint16_t address, auto after) {
    const SimChip::WriteHook earlier = chip.SetWriteHook(address, {});
    chip.SetWriteHook(address, [earlier, after](SimChip& c, const ByteAccess& a) {
      if (earlier) {
        earlier(c, a);
      } else {
        c.Poke(a.address, a.value);
      }
      after(c, a);
    });
  };
  chain(kImage, [this](SimChip&, const ByteAccess&) { imageWritten_ = true; });
  chain(kHold, [this](SimChip& c, const ByteAccess& a) {
    if (a.value == 0x0C && plane_ != nullptr) plane_->SetSuspended(true);
    if (a.value == 0x08 && imageWritten_) c.Poke(kRunFlag, 0xAA);
  });
  chain(kRunFlag, [this](SimChip& c, const ByteAccess& a) {
    if (a.value == 0x04) Start(c);
  });
}

void ShortEngineA::OnReset(SimChip& chip) {
  (void)chip;
  imageWritten_ = false;
  if (plane_ != nullptr) plane_->SetSuspended(false);
}

void ShortEngineA::Start(SimChip& chip) {
  const std::vector<uint8_t> block = chip.PeekRange(kBlock, kBlockBytes);
  uint8_t sum = 0;
  for (uint8_t b : block) sum = static_cast<uint8_t>(sum + b);
  if (sum != 0 || neverFinishes_) return;
  WriteResults(chip);
  chip.Poke(kDone, 0x88);
}

void ShortEngineA::WriteResults(SimChip& chip) {
  std::map<int, std::vector<uint8_t>> tx;
  std::map<int, std::vector<uint8_t>> rx;
  std::vector<uint8_t> supply(144);
  uint8_t status = 0;
  for (const ShortTarget& s : shorts_) {
    switch (s.pair) {
      case ShortPair::TxTx: {
        auto& record = tx.try_emplace(s.first, Record(kTxBytes, s.first)).first->second;
        const bool same = SameGroup(s.first, s.second);
        PutBigEndian(record, 3 + 2 * static_cast<size_t>(s.second),
                     ValueFor(s.kOhm, same ? 40 : 60, same ? 40 : 60));
        status |= 0x01;
        break;
      }
      case ShortPair::TxRx: {
        auto& record = tx.try_emplace(s.first, Record(kTxBytes, s.first)).first->second;
        PutBigEndian(record, 87 + 2 * static_cast<size_t>(s.second),
                     ValueFor(s.kOhm, 60, s.second % 2 == 0 ? 60 : 40));
        status |= 0x01;
        break;
      }
      case ShortPair::RxRx: {
        auto& record = rx.try_emplace(s.first, Record(kRxBytes, s.first)).first->second;
        PutBigEndian(record, 3 + 2 * static_cast<size_t>(s.second), ValueFor(s.kOhm, 60, 60));
        status |= 0x02;
        break;
      }
      case ShortPair::TxAvdd:
      case ShortPair::RxAvdd: {
        const size_t entry = static_cast<size_t>(s.first) + (s.pair == ShortPair::RxAvdd ? 42 : 0);
        const double w = std::round(52662.85 / static_cast<double>(s.kOhm + 40));
        PutBigEndian(supply, 2 * entry, static_cast<uint16_t>(std::clamp(w, 1.0, 32767.0)));
        status |= 0x08;
        break;
      }
    }
  }
  ShortHeaderA header{status, static_cast<uint8_t>(tx.size()), static_cast<uint8_t>(rx.size())};
  if (header_) header = *header_;
  chip.Poke(0x8801, header.status);
  chip.Poke(0x8802, header.txCount);
  chip.Poke(0x8803, header.rxCount);
  std::vector<uint8_t> txBytes;
  for (auto& [channel, record] : tx) txBytes.insert(txBytes.end(), record.begin(), record.end());
  std::vector<uint8_t> rxBytes;
  for (auto& [channel, record] : rx) rxBytes.insert(rxBytes.end(), record.begin(), record.end());
  if (!txBytes.empty()) chip.PokeRange(kTxRecords, txBytes);
  if (!rxBytes.empty()) chip.PokeRange(kRxRecords, rxBytes);
  chip.PokeRange(kSupply, supply);
}

}  // namespace sim
