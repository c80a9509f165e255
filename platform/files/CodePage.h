#pragma once
// Text encodings of the files the program shares with older tools: UTF-8
// (with or without a byte-order mark), UTF-16LE with a byte-order mark, and
// the Simplified Chinese ANSI code page GBK (code page 936). Text in memory is
// always UTF-8.
//
// Two rules hold throughout:
// - Converting outside bytes TO UTF-8 never fails: every byte that does not
//   start a valid sequence becomes one U+FFFD and decoding resumes at the next
//   byte, so a line break is never swallowed by a broken sequence.
// - Converting FROM UTF-8 fails (returns false) when the input is not valid
//   UTF-8 or holds a character the target encoding cannot represent; nothing
//   is replaced silently on the way out.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

enum class TextEncoding {
  kUtf8,     // no byte-order mark
  kUtf8Bom,  // EF BB BF
  kUtf16Le,  // FF FE, then UTF-16 little-endian code units
  kGbk,      // code page 936, no mark
};

// Letter case as the stored names compare it: ASCII letters only; every
// other byte, and so every non-ASCII character, compares exactly.
char AsciiToLower(char c);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Strict check: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Lenient UTF-8 read: invalid bytes become U+FFFD as described above.
std::string SanitizeUtf8(std::string_view text);

std::string GbkToUtf8(std::string_view gbk);
bool Utf8ToGbk(std::string_view utf8, std::string* gbk);

// UTF-16LE bytes without a byte-order mark. A lone surrogate or a trailing odd
// byte becomes U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
bool Utf8ToUtf16Le(std::string_view utf8, std::string* bytes);

// The longest prefix of utf8 that fits in maxUnits UTF-16 code units without
// splitting a character (a character above U+FFFF needs two units). Invalid
// bytes count as one unit each.
std::string_view Utf8PrefixByUtf16Units(std::string_view utf8, size_t maxUnits);

// The mark that starts a file in this encoding ("" for kUtf8 and kGbk).
std::string_view ByteOrderMark(TextEncoding encoding);

// Which encoding a file's bytes are in: a UTF-8 or UTF-16LE byte-order mark,
// else UTF-8 when the bytes are valid UTF-8, else GBK.
TextEncoding DetectEncoding(std::string_view fileBytes);

// The text after the byte-order mark (pass bytes without it) as UTF-8.
std::string DecodeBody(std::string_view body, TextEncoding encoding);
// UTF-8 text to bytes in encoding, without a byte-order mark.
bool EncodeBody(std::string_view utf8, TextEncoding encoding, std::string* body);

struct DecodedText {
  std::string text;  // UTF-8, byte-order mark removed
  TextEncoding encoding = TextEncoding::kUtf8;
};

// A whole file's bytes as UTF-8, with the encoding found so that a writer can
// write the file back the way it was.
DecodedText DecodeText(std::string_view fileBytes);
// The inverse: byte-order mark (when the encoding has one) and body.
bool EncodeText(std::string_view utf8, TextEncoding encoding, std::string* fileBytes);

}  // namespace platform
