#pragma once
// Intel HEX text of a bridge image, as a bridge firmware release is handed
// out: the demonstration files of the simulated bridge and the tests of the
// HEX reader, the programmer and the update steps are made with it.

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// One record without its line end, with its checksum; `checksumDelta`
// spoils the checksum (tests of the reader).
std::string HexRecord(uint8_t type, uint16_t offset, const std::vector<uint8_t>& data,
                      int checksumDelta = 0);

// The end-of-file record.
std::string HexEndOfFile();

// An image from address 0 as HEX text: 16-byte data records with an
// extended linear address record (04) where the upper address changes, CR LF
// line ends, the end-of-file record last.
std::string ImageToIntelHex(const std::vector<uint8_t>& image);

}  // namespace sim
