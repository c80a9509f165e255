#pragma once
// "Only the last few characters count" rules of the description and block
// files, applied to UTF-8 text without cutting a character in two.

#include <cstddef>
#include <string_view>

// The last chars characters of text (the whole text when it has fewer). A
// character is a UTF-8 lead byte with its continuation bytes; a stray
// continuation byte at the start counts as one character.
std::string_view Utf8Suffix(std::string_view text, size_t chars);
