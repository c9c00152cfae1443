#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ripwarden {

// Removes spaces (code 32 only, not tabs) at both ends.
std::string Trim(std::string_view text);

// The n-th piece (from 1; n <= 0 counts as 1) of text cut at every separator;
// the last piece runs to the end, a piece beyond it is empty.
std::string TextField(std::string_view text, int n, char separator);

// Leading spaces and tabs, an optional sign, then "$" hex, "%" binary or
// decimal digits up to the first other character. Wraps like a signed 32-bit
// integer; no digits give 0.
std::int32_t TextToInteger(std::string_view text);

// Decimal text to a double, rounded to a 32-bit float. Always uses "." as the
// decimal point whatever the process locale says; text that does not begin
// with a number gives 0.
float TextToFloat(std::string_view text);

}  // namespace ripwarden
