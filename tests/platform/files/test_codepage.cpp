#include "platform/files/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(CodePage, Utf8Validity) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain ascii\r\n", true},
      {"中文", true},
      {"\xF0\x9F\x98\x80", true},   // U+1F600, four bytes
      {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF, the last character
      {"\xC0\x80", false},          // overlong NUL
      {"\xE0\x80\xAF", false},      // overlong '/'
      {"\xED\xA0\x80", false},      // a surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xE4\xB8", false},          // cut short at the end
      {"\xE4\xB8\n", false},        // cut short by a line break
      {"\x80", false},              // stray continuation byte
      {"\xFE\xFF", false},
      {"\xD6\xD0\xCE\xC4", false},  // GBK for 中文
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.text), c.valid) << ::testing::PrintToString(c.text);
  }
}

TEST(CodePage, DecodingNeverFailsAndKeepsLineBreaks) {
  struct Case {
    const char* what;
    std::string (*decode)(std::string_view);
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"utf8 stray byte", SanitizeUtf8, "a\x80z", "a" + kFffd + "z"},
      {"utf8 cut by newline", SanitizeUtf8, "a\xE4\xB8\nb", "a" + kFffd + kFffd + "\nb"},
      {"utf8 valid passes", SanitizeUtf8, "中\r\n", "中\r\n"},
      {"gbk text", GbkToUtf8, "\xD6\xD0\xCE\xC4=\xB2\xE2\xCA\xD4", "中文=测试"},
      {"gbk lead byte then newline", GbkToUtf8, "\xD6\nA", kFffd + "\nA"},
      {"gbk lead byte at the end", GbkToUtf8, "A\xD6", "A" + kFffd},
      {"gbk bytes without a mapping", GbkToUtf8, std::string("\x81\x7F") + "A\xFF",
       kFffd + "\x7F" + "A" + kFffd},
      {"gbk euro sign", GbkToUtf8, "\x80", "€"},
      {"utf16 bmp and pair", Utf16LeToUtf8, std::string("A\0\x2D\x4E\x3D\xD8\x00\xDE", 8),
       "A中\xF0\x9F\x98\x80"},
      {"utf16 lone high surrogate before newline", Utf16LeToUtf8, std::string("\x3D\xD8\n\0", 4),
       kFffd + "\n"},
      {"utf16 lone low surrogate", Utf16LeToUtf8,
       std::string("\x00\xDE", 2) + std::string("B\0", 2), kFffd + "B"},
      {"utf16 odd trailing byte", Utf16LeToUtf8, std::string("A\0B", 3), "A" + kFffd},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.decode(c.in), c.out) << c.what;
  }
}

TEST(CodePage, EncodingRefusesWhatItCannotRepresent) {
  std::string out;
  EXPECT_TRUE(Utf8ToGbk("中文=测试", &out));
  EXPECT_EQ(out, "\xD6\xD0\xCE\xC4=\xB2\xE2\xCA\xD4");
  EXPECT_TRUE(Utf8ToUtf16Le("A中\xF0\x9F\x98\x80", &out));
  EXPECT_EQ(out, std::string("A\0\x2D\x4E\x3D\xD8\x00\xDE", 8));

  struct Case {
    const char* what;
    TextEncoding encoding;
    std::string text;
  };
  const Case cases[] = {
      {"emoji has no GBK code", TextEncoding::kGbk, "ok\xF0\x9F\x98\x80"},
      {"invalid input to GBK", TextEncoding::kGbk, "a\x80"},
      {"invalid input to UTF-16", TextEncoding::kUtf16Le, "a\xC0\x80"},
      {"invalid input to UTF-8", TextEncoding::kUtf8, "a\xFF"},
      {"invalid input to UTF-8 with mark", TextEncoding::kUtf8Bom, "\xED\xA0\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    out = "stale";
    EXPECT_FALSE(EncodeText(c.text, c.encoding, &out));
    EXPECT_EQ(out, "");
  }
}

TEST(CodePage, FileEncodingIsDetectedAndWrittenBackTheSameWay) {
  struct Case {
    const char* what;
    std::string fileBytes;
    TextEncoding encoding;
    std::string text;
  };
  const Case cases[] = {
      {"empty", "", TextEncoding::kUtf8, ""},
      {"ascii", "[A]\r\nk=v\r\n", TextEncoding::kUtf8, "[A]\r\nk=v\r\n"},
      {"utf8 without mark", "k=中文", TextEncoding::kUtf8, "k=中文"},
      {"utf8 with mark", "\xEF\xBB\xBFk=中文", TextEncoding::kUtf8Bom, "k=中文"},
      {"utf16 with mark", std::string("\xFF\xFEk\0=\0\x2D\x4E", 8), TextEncoding::kUtf16Le, "k=中"},
      {"gbk", "k=\xD6\xD0\xCE\xC4", TextEncoding::kGbk, "k=中文"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DecodedText decoded = DecodeText(c.fileBytes);
    EXPECT_EQ(decoded.encoding, c.encoding);
    EXPECT_EQ(decoded.text, c.text);
    std::string back;
    ASSERT_TRUE(EncodeText(decoded.text, decoded.encoding, &back));
    EXPECT_EQ(back, c.fileBytes);
  }
}

TEST(CodePage, PrefixByUtf16UnitsNeverSplitsACharacter) {
  struct Case {
    std::string text;
    size_t units;
    std::string prefix;
  };
  const Case cases[] = {
      {"abc", 0, ""},    {"abc", 2, "ab"},
      {"abc", 9, "abc"}, {"中文字", 2, "中文"},
      {"a😀b", 2, "a"},  // the pair needs two units, only one is left
      {"a😀b", 3, "a😀"},  {"a\x80\x80z", 3, "a\x80\x80"},  // stray bytes count one unit each
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8PrefixByUtf16Units(c.text, c.units), c.prefix)
        << ::testing::PrintToString(c.text) << " units " << c.units;
  }
}

}  // namespace
}  // namespace platform
