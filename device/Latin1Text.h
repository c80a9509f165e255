#pragma once
// Texts the bridge and the chip hand over as raw bytes (version text, chip
// id characters): one byte per character, ending at the first NUL.

#include <cstddef>
#include <cstdint>
#include <string>

// Bytes up to the first NUL (at most maxBytes), each taken as a Latin-1
// character, as UTF-8.
std::string Latin1ToUtf8(const uint8_t* text, size_t maxBytes);
