#include "device/DecimalPrefix.h"

#include <algorithm>

#include "platform/TextTrim.h"

int DecimalPrefix(std::string_view text, int limit) { return DecimalPrefix(text, -limit, limit); }

int DecimalPrefix(std::string_view text, int low, int high) {
  text = platform::TrimChars(text);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const long long bound = negative ? -static_cast<long long>(low) : high;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), bound);
  }
  return static_cast<int>(negative ? -value : value);
}
