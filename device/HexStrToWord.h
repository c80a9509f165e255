#pragma once
// Register addresses and small numbers are kept as hexadecimal text ("0x814E",
// "8b98") in settings, item files and edits.

#include <cstdint>
#include <string>

// Reads every hexadecimal digit of text (either case) and skips everything
// else, a "0x" prefix and blanks included. Only the last four digits count: the
// value wraps at 16 bits. Text without digits gives 0.
uint16_t HexStrToWord(std::string text);
