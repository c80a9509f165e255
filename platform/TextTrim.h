#pragma once
// Blanks around a text taken off: settings values, typed numbers, list
// entries and kernel text all arrive with stray spaces or line ends.

#include <string_view>

namespace platform {

// Spaces and tabs.
inline constexpr std::string_view kSpaceTab = " \t";
// Spaces, tabs and line ends.
inline constexpr std::string_view kSpaceTabCrLf = " \t\r\n";
// Every ASCII blank: spaces, tabs, line ends, form feeds, vertical tabs.
inline constexpr std::string_view kAsciiBlanks = " \t\r\n\v\f";

// text without the leading and trailing characters that are in set; empty when
// text holds nothing else. The result views text.
constexpr std::string_view TrimChars(std::string_view text, std::string_view set = kSpaceTab) {
  const size_t first = text.find_first_not_of(set);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(set) - first + 1);
}

}  // namespace platform
