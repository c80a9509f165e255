// fuzz_short_records reads one drive record (149 bytes) from the start of its
// input and takes its first 65 and 144 bytes as a sense record and the
// supply data, and its first 4 bytes as a finding of the DE7 family's own
// test. The seeds are what the simulated chips report after a run of their
// open/short programs with a few shorts planted.

#include <memory>
#include <string>

#include "device/link/HidRequest.h"
#include "fuzz/seeds/Seeds.h"
#include "moduletest/engine/ShortTestA.h"
#include "moduletest/engine/ShortTestB.h"
#include "sim/SimChip.h"
#include "sim/module/ShortEngineA.h"
#include "sim/module/ShortEngineB.h"

namespace fuzzseeds {

namespace {


void WriteByte(sim::SimChip& chip, uint16_t address, uint8_t value) {
  chip.Write(address, &value, 1, BridgeCmdRegister);
}

void WriteBlock(sim::SimChip& chip, uint16_t address, const uint8_t* data, size_t length) {
  chip.Write(address, data, length, BridgeCmdRegister);
}

// The 0x8047 family: program written and started, parameter block handed
// over, then the records read back from where the host reads them.
struct ResultsA {
  std::vector<uint8_t> tx;
  std::vector<uint8_t> rx;
  std::vector<uint8_t> supply;
};

ResultsA RunProgramA(const std::vector<sim::ShortTarget>& shorts) {
  sim::SimChip chip(sim::SimChipConfig::For(sim::ChipFamily::RU9));
  chip.AddBehaviour(std::make_unique<sim::ShortEngineA>(shorts, false, nullptr));
  WriteByte(chip, 0xC000, 0x02);  // the program's first byte
  WriteByte(chip, 0x4180, 0x08);  // start it
  const ShortBlockA block = BuildShortBlockA(0x0190, 0x0190, 0x0003, ShortMapsA());
  WriteBlock(chip, 0x8804, block.data(), block.size());
  WriteByte(chip, 0x5095, 0x04);
  return {chip.PeekRange(0x8860, kTxRecordBytes), chip.PeekRange(0xA0D2, kRxRecordBytes),
          chip.PeekRange(0xA531, kSupplyRecordBytes)};
}

// The DE7 family: test entered, block handed over and started, the state
// polled until it reports, then the findings after the 4-byte summary.
std::vector<uint8_t> RunProgramB(const std::vector<sim::ShortFindingB>& findings) {
  sim::SimChip chip(sim::SimChipConfig::For(sim::ChipFamily::DE7));
  chip.AddBehaviour(std::make_unique<sim::ShortEngineB>(findings, false, nullptr));
  WriteByte(chip, sim::kDe7StreamParam1, 0xC0);
  WriteByte(chip, sim::kCommandRegister, 0x40);
  const ShortBlockB block = BuildShortBlockB();
  WriteBlock(chip, 0x8118, block.data(), block.size());
  WriteByte(chip, sim::kDe7StreamParam1, 0xBF);
  WriteByte(chip, sim::kCommandRegister, 0x41);
  for (unsigned i = 0; i < sim::ShortEngineB::kReadsUntilFinished; ++i) {
    (void)chip.Read(0x804A, 1, BridgeCmdRegister);
  }
  return chip.PeekRange(0x8AC4, 4 * findings.size());
}

}  // namespace

TargetSeeds ShortRecordSeeds() {
  using sim::ShortPair;
  // Drive 3 shorted to drive 7 (same group) and to drive 20 (another), and
  // to sense 4; sense 2 to sense 9; supply shorts on both sides, one of them
  // too high to be reported.
  const ResultsA a = RunProgramA({{ShortPair::TxTx, 3, 7, 150},
                                  {ShortPair::TxTx, 3, 20, 790},
                                  {ShortPair::TxRx, 3, 4, 300},
                                  {ShortPair::RxRx, 2, 9, 50},
                                  {ShortPair::TxAvdd, 5, 0, 200},
                                  {ShortPair::RxAvdd, 3, 0, 700},
                                  {ShortPair::TxAvdd, 8, 0, 5000}});
  // Drive 5 to ground, sense 3 to drive 1, sense 6 to the supply.
  const std::vector<uint8_t> b =
      RunProgramB({{0xF0, 0x85, 120}, {0x81, 0x03, 30}, {0xF1, 0x06, 800}});

  TargetSeeds t{"fuzz_short_records", {}};
  t.seeds.push_back({"a_drive_record", a.tx});
  t.seeds.push_back({"a_sense_record", a.rx});
  t.seeds.push_back({"a_supply_data", a.supply});
  for (size_t i = 0; i + 4 <= b.size(); i += 4) {
    t.seeds.push_back({"b_finding_" + std::to_string(i / 4 + 1),
                       {b.begin() + static_cast<std::ptrdiff_t>(i),
                        b.begin() + static_cast<std::ptrdiff_t>(i + 4)}});
  }
  return t;
}

}  // namespace fuzzseeds
