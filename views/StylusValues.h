#pragma once
// The active pen's values as the touch demo shows them: the stylus report
// holds a profile along the panel's columns from its start and one along its
// rows further on. Each value is (stylus unit x 2) bytes wide, unsigned, in
// the stylus byte order; a unit of 0 (the loading default) means no values.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "views/DataFormat.h"

// Byte offset of the row profile; one chip places it further on.
size_t StylusRowProfileOffset(const std::string& chipName);

// Bytes read for the stylus report: the stylus length kept inside 0..slotBytes.
uint32_t StylusReadLength(int32_t stylusLength, uint32_t slotBytes);

struct StylusProfiles {
  std::vector<uint32_t> columns;  // up to `cols` values from byte 0
  std::vector<uint32_t> rows;     // up to `rows` values from the row profile offset
};

// Only values that lie wholly inside the `length` bytes read are returned.
StylusProfiles DecodeStylusProfiles(const uint8_t* bytes, size_t length, const DataFormat& stylus,
                                    int32_t rows, int32_t cols, size_t rowProfileOffset);
