#pragma once
// The open/short test of the family whose configuration starts at 0x8047:
// the short-test program is written into the chip's memory at 0xC000 and
// started, the 79-byte parameter block handed over at 0x8804, and the
// chip's records turned into one line per short with its resistance in kOhm.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "moduletest/engine/RunContext.h"
#include "moduletest/engine/ShortMaps.h"

class CConfig;

inline constexpr size_t kShortBlockABytes = 79;
using ShortBlockA = std::array<uint8_t, kShortBlockABytes>;

// Thresholds (low 16 bits, high byte first), the maps and the checksum
// (0 - sum of bytes 0..77).
ShortBlockA BuildShortBlockA(uint16_t ch2Ch, uint16_t ch2Gnd, uint16_t waitFrames,
                             const ShortMapsA& maps);

// Only shorts up to this resistance are reported (kOhm); a lower value
// than this is a short.
inline constexpr int64_t kShortReportLimitKOhm = 800;
// A channel value at or below this is no short.
inline constexpr int kShortValueFloor = 50;
inline constexpr size_t kTxRecordBytes = 149;
inline constexpr size_t kRxRecordBytes = 65;
inline constexpr size_t kSupplyRecordBytes = 144;
// Most records the chip can report (one per drive / sense channel).
inline constexpr int kMaxTxRecords = 42;
inline constexpr int kMaxRxRecords = 30;

// The lines of one drive record, one sense record, and the supply data.
std::vector<std::string> TxRecordLines(const uint8_t* record, const ShortMapsA& maps);
std::vector<std::string> RxRecordLines(const uint8_t* record, const ShortMapsA& maps);
std::vector<std::string> SupplyLines(const uint8_t* data, const ShortMapsA& maps);

// Runs the test, judging item 4 (it only ever fails it). backup: the chip's
// configuration read before the test, or null.
void RunShortTest(RunContext& ctx, const CConfig* backup);
