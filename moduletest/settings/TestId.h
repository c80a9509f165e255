#pragma once
// The Test ID typed or scanned into the page: a decimal product number. A
// number of at least the minimum Test ID starts a run on its last digit; a
// text of only "x"/"X" letters sets the minimum to 10^(n-1), so the operator
// types as many x as the product numbers have digits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct ParsedTestId {
  // The leading decimal number; 0 for an empty or non-numeric text.
  int64_t id = 0;
  // A leading number beyond the 64-bit range (more than 19 digits) names no
  // module: the text is refused.
  bool valid = true;
};
ParsedTestId ParseTestId(std::string_view text);

// Whether a Test ID is complete. A minimum is itself a complete ID (eleven x
// give 10000000000, which has eleven digits).
inline bool IsTestIdComplete(int64_t id, int64_t minimum) { return id > 0 && id >= minimum; }

struct XPattern {
  bool matched = false;            // the text is one or more "x"/"X" only
  std::optional<int64_t> minimum;  // 10^(n-1); empty when n > 19 (beyond 64 bits)
};
XPattern ParseXPattern(std::string_view text);

// The log line of a refused Test ID.
inline constexpr const char* kInvalidTestIdText = "测试ID无效";
