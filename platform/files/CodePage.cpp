#include "platform/files/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace platform {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

// Reads one character at text[*pos] and moves past it. An invalid byte moves
// *pos by exactly one and returns false.
bool NextChar(std::string_view text, size_t* pos, char32_t* cp) {
  const auto b0 = static_cast<unsigned char>(text[*pos]);
  if (b0 < 0x80) {
    *cp = b0;
    ++*pos;
    return true;
  }
  size_t len;
  char32_t c;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    ++*pos;
    return false;
  }
  if (text.size() - *pos < len) {
    ++*pos;
    return false;
  }
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[*pos + k]);
    if ((b & 0xC0) != 0x80) {
      ++*pos;
      return false;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++*pos;
    return false;
  }
  *pos += len;
  *cp = c;
  return true;
}

void AppendUtf8(std::string* out, char32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16Unit(std::string* out, uint16_t unit) {
  out->push_back(static_cast<char>(unit & 0xFF));
  out->push_back(static_cast<char>(unit >> 8));
}

// One conversion descriptor per call keeps the functions thread-safe.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as possible into *out. Stops at the first byte that
  // cannot be converted and returns false with *in pointing at it.
  bool Run(std::string_view* in, std::string* out) {
    char* src = const_cast<char*>(in->data());
    size_t srcLeft = in->size();
    char buf[4096];
    bool done = true;
    while (srcLeft > 0) {
      char* dst = buf;
      size_t dstLeft = sizeof buf;
      const size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out->append(buf, static_cast<size_t>(dst - buf));
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        done = false;
        break;
      }
    }
    *in = std::string_view(src, srcLeft);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return done;
  }

 private:
  iconv_t cd_;
};

}  // namespace

char AsciiToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiToLower(a[i]) != AsciiToLower(b[i])) return false;
  }
  return true;
}

bool IsValidUtf8(std::string_view text) {
  size_t pos = 0;
  char32_t cp;
  while (pos < text.size()) {
    if (!NextChar(text, &pos, &cp)) return false;
  }
  return true;
}

std::string SanitizeUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  char32_t cp;
  while (pos < text.size()) {
    const size_t start = pos;
    if (NextChar(text, &pos, &cp)) {
      out.append(text.substr(start, pos - start));
    } else {
      out.append(kReplacement);
    }
  }
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() * 3 / 2);
  Converter conv("UTF-8", "GBK");
  if (!conv.ok()) {
    // Without the converter only ASCII can be trusted.
    for (char c : gbk) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out.push_back(c);
      } else {
        out.append(kReplacement);
      }
    }
    return out;
  }
  while (!conv.Run(&gbk, &out)) {
    out.append(kReplacement);
    gbk.remove_prefix(1);
  }
  return out;
}

bool Utf8ToGbk(std::string_view utf8, std::string* gbk) {
  gbk->clear();
  if (!IsValidUtf8(utf8)) return false;
  Converter conv("GBK", "UTF-8");
  if (!conv.ok()) return false;
  if (!conv.Run(&utf8, gbk)) {
    gbk->clear();
    return false;
  }
  return true;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  auto unitAt = [&](size_t i) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const uint16_t u = unitAt(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      const uint16_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(&out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) {
      out.append(kReplacement);
    } else {
      AppendUtf8(&out, u);
    }
  }
  if (i < bytes.size()) out.append(kReplacement);
  return out;
}

bool Utf8ToUtf16Le(std::string_view utf8, std::string* bytes) {
  bytes->clear();
  bytes->reserve(utf8.size() * 2);
  size_t pos = 0;
  char32_t cp;
  while (pos < utf8.size()) {
    if (!NextChar(utf8, &pos, &cp)) {
      bytes->clear();
      return false;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AppendUtf16Unit(bytes, static_cast<uint16_t>(0xD800 + (cp >> 10)));
      AppendUtf16Unit(bytes, static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      AppendUtf16Unit(bytes, static_cast<uint16_t>(cp));
    }
  }
  return true;
}

std::string_view Utf8PrefixByUtf16Units(std::string_view utf8, size_t maxUnits) {
  size_t pos = 0;
  size_t units = 0;
  char32_t cp;
  while (pos < utf8.size()) {
    size_t next = pos;
    const bool valid = NextChar(utf8, &next, &cp);
    const size_t need = valid && cp >= 0x10000 ? 2 : 1;
    if (units + need > maxUnits) break;
    units += need;
    pos = next;
  }
  return utf8.substr(0, pos);
}

std::string_view ByteOrderMark(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8Bom:
      return kUtf8Mark;
    case TextEncoding::kUtf16Le:
      return kUtf16LeMark;
    case TextEncoding::kUtf8:
    case TextEncoding::kGbk:
      break;
  }
  return {};
}

TextEncoding DetectEncoding(std::string_view fileBytes) {
  if (fileBytes.starts_with(kUtf8Mark)) return TextEncoding::kUtf8Bom;
  if (fileBytes.starts_with(kUtf16LeMark)) return TextEncoding::kUtf16Le;
  if (IsValidUtf8(fileBytes)) return TextEncoding::kUtf8;
  return TextEncoding::kGbk;
}

std::string DecodeBody(std::string_view body, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf16Le:
      return Utf16LeToUtf8(body);
    case TextEncoding::kGbk:
      return GbkToUtf8(body);
    case TextEncoding::kUtf8:
    case TextEncoding::kUtf8Bom:
      break;
  }
  return SanitizeUtf8(body);
}

bool EncodeBody(std::string_view utf8, TextEncoding encoding, std::string* body) {
  switch (encoding) {
    case TextEncoding::kUtf16Le:
      return Utf8ToUtf16Le(utf8, body);
    case TextEncoding::kGbk:
      return Utf8ToGbk(utf8, body);
    case TextEncoding::kUtf8:
    case TextEncoding::kUtf8Bom:
      break;
  }
  if (!IsValidUtf8(utf8)) {
    body->clear();
    return false;
  }
  body->assign(utf8);
  return true;
}

DecodedText DecodeText(std::string_view fileBytes) {
  DecodedText result;
  result.encoding = DetectEncoding(fileBytes);
  fileBytes.remove_prefix(ByteOrderMark(result.encoding).size());
  result.text = DecodeBody(fileBytes, result.encoding);
  return result;
}

bool EncodeText(std::string_view utf8, TextEncoding encoding, std::string* fileBytes) {
  std::string body;
  if (!EncodeBody(utf8, encoding, &body)) {
    fileBytes->clear();
    return false;
  }
  *fileBytes = std::string(ByteOrderMark(encoding)) + body;
  return true;
}

}  // namespace platform
