#pragma once
// Decimal numbers in settings and item files are read the lenient way their
// writers expect: "12abc" is 12, "x" is 0.

#include <string_view>

// Leading spaces and tabs, an optional sign, then the digits up to the first
// other character; no digits give 0. A magnitude above limit (at most
// 0x7FFFFFFF) gives +-limit rather than a wrapped value.
int DecimalPrefix(std::string_view text, int limit);

// The same, kept inside low..high (low <= 0 <= high): a value beyond them
// gives the bound it passed, so a list written with "%d" reads back whole,
// the lowest int included.
int DecimalPrefix(std::string_view text, int low, int high);
