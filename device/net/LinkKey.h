#pragma once
// The link key the user types for the remote server link: ten hexadecimal
// digits, five bytes, masked like the image data. Only the fifth byte counts:
// unmasked, it is the link's message id.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// Unmasks a run in place: byte i becomes (NOT byte - 5 * i) mod 256.
void UnmaskLinkBytes(uint8_t* data, size_t length);

// The link id of a key: exactly five pairs of hexadecimal digits (either
// case), blanks allowed before each pair and after the last; nullopt for
// anything else.
std::optional<uint32_t> ParseLinkKey(std::string_view key);
