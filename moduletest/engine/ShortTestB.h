#pragma once
// The open/short test of the DE7 family: the chip's own firmware measures
// after a 232-byte parameter block at 0x8118, and reports its findings at
// 0x8AC0 as entries of two channels and a resistance.

#include <array>
#include <cstdint>
#include <string>

#include "moduletest/engine/RunContext.h"
#include "moduletest/engine/ShortMaps.h"

class CConfig;

inline constexpr size_t kShortBlockBBytes = 232;
using ShortBlockB = std::array<uint8_t, kShortBlockBBytes>;

// Identity channel bytes, the constant words and the little-endian checksum
// over the 115 words.
ShortBlockB BuildShortBlockB();

// The line of one result entry b0..b3; a channel missing from its table is
// shown with the chip's own number after '#'.
std::string ShortEntryLine(const uint8_t (&entry)[4], const ShortTablesB& tables);

// Runs the test and judges item 4. backup: the chip's configuration read
// before the test, or null.
void RunShortTestB(RunContext& ctx, CConfig* backup);
