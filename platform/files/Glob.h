#pragma once
// File-name wildcards as the stored settings use them: '*' matches any run of
// characters (none included), '?' exactly one character, letters compare
// without regard to ASCII case. As on the system the settings come from, a
// pattern ending in ".*" also matches a name without that extension, so "*.*"
// matches every name and "a.*" matches "a".

#include <string_view>

namespace platform {

// pattern and name are UTF-8; '?' takes one whole character, not one byte.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Order for file lists: ASCII case folded first, then plain bytes as the tie
// break, so the "first match" of a search is the same on every run.
bool FileNameLess(std::string_view a, std::string_view b);

}  // namespace platform
