#include "platform/files/Glob.h"

#include <algorithm>
#include <vector>

#include "platform/files/CodePage.h"

namespace platform {
namespace {

// Splits UTF-8 text into characters: a lead byte with its continuation bytes.
// A stray byte stands alone, so any input splits.
std::vector<std::string_view> SplitChars(std::string_view text) {
  std::vector<std::string_view> chars;
  size_t i = 0;
  while (i < text.size()) {
    size_t len = 1;
    if (static_cast<unsigned char>(text[i]) >= 0xC0) {
      while (i + len < text.size() && (static_cast<unsigned char>(text[i + len]) & 0xC0) == 0x80 &&
             len < 4) {
        ++len;
      }
    }
    chars.push_back(text.substr(i, len));
    i += len;
  }
  return chars;
}

// Iterative match with one back-track point for the last '*' seen: at worst
// pattern length x name length steps, never recursive, so hostile patterns
// neither blow the stack nor take exponential time.
bool MatchChars(const std::vector<std::string_view>& pat,
                const std::vector<std::string_view>& str) {
  size_t p = 0, s = 0;
  size_t starP = std::string_view::npos, starS = 0;
  while (s < str.size()) {
    if (p < pat.size() && pat[p] == "*") {
      starP = p++;
      starS = s;
    } else if (p < pat.size() && (pat[p] == "?" || EqualsIgnoringAsciiCase(pat[p], str[s]))) {
      ++p;
      ++s;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      s = ++starS;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == "*") ++p;
  return p == pat.size();
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  const auto str = SplitChars(name);
  if (MatchChars(SplitChars(pattern), str)) return true;
  if (pattern.ends_with(".*") && name.find('.') == std::string_view::npos) {
    return MatchChars(SplitChars(pattern.substr(0, pattern.size() - 2)), str);
  }
  return false;
}

bool FileNameLess(std::string_view a, std::string_view b) {
  auto foldedLess = [](char x, char y) {
    return static_cast<unsigned char>(AsciiToLower(x)) <
           static_cast<unsigned char>(AsciiToLower(y));
  };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), foldedLess)) {
    return true;
  }
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), foldedLess)) {
    return false;
  }
  return a < b;  // byte order, as unsigned char
}

}  // namespace platform
