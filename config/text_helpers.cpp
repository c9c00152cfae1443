#include "config/text_helpers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace ripwarden {

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string TextField(std::string_view text, int n, char separator) {
  if (n < 1) n = 1;
  std::size_t start = 0;
  for (int piece = 1; piece < n; ++piece) {
    const auto cut = text.find(separator, start);
    if (cut == std::string_view::npos) return {};
    start = cut + 1;
  }
  const auto end = text.find(separator, start);
  return std::string(text.substr(start, end == std::string_view::npos ? text.npos : end - start));
}

namespace {

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9')
    value = c - '0';
  else if (c >= 'a' && c <= 'f')
    value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    value = c - 'A' + 10;
  return value < base ? value : -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::int32_t TextToInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  // Unsigned arithmetic gives the 32-bit wrap without undefined behaviour.
  std::uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) break;
    value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

float TextToFloat(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t mantissa = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  std::size_t digits = i - mantissa;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fraction = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    digits += i - fraction;
  }
  if (digits == 0) return 0.0f;
  bool tiny_exponent = false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (e < text.size() && IsDigit(text[e])) {
      tiny_exponent = text[i + 1] == '-';
      i = e;
      while (i < text.size() && IsDigit(text[i])) ++i;
    }
  }
  // from_chars does not take a leading "+".
  std::size_t from = start;
  if (text[from] == '+') ++from;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data() + from, text.data() + i, value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    const bool negative = text[start] == '-';
    value = tiny_exponent ? 0.0 : std::numeric_limits<double>::infinity();
    if (negative) value = -value;
  }
  // Past the largest float (and the halfway point above it) a conversion
  // would be undefined; the platform's conversion gives infinity there.
  if (std::fabs(value) >= 0x1.ffffffp127) return std::copysign(std::numeric_limits<float>::infinity(), value);
  return static_cast<float>(value);
}

}  // namespace ripwarden
