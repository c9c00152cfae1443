#include "rip/date_format.h"

#include <array>
#include <cstdlib>

#include "config/config_format.h"

namespace ripwarden {

namespace {

// Takes a wider type: the smallest int has no positive counterpart of its own.
std::string Padded(long long value, std::size_t width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return value < 0 ? "-" + digits : digits;
}

}  // namespace

std::string FormatDate(std::string_view mask, const LocalDateTime& date) {
  const std::array<std::pair<std::string_view, std::string>, 7> tokens = {{
      {"%yyyy", Padded(date.year, 4)},
      {"%yy", Padded(std::llabs(date.year) % 100, 2)},
      {"%mm", Padded(date.month, 2)},
      {"%dd", Padded(date.day, 2)},
      {"%hh", Padded(date.hour, 2)},
      {"%ii", Padded(date.minute, 2)},
      {"%ss", Padded(date.second, 2)},
  }};
  std::string out;
  std::size_t i = 0;
  while (i < mask.size()) {
    bool replaced = false;
    if (mask[i] == '%') {
      for (const auto& [token, value] : tokens) {
        if (EqualsIgnoringAsciiCase(mask.substr(i, token.size()), token)) {
          out += value;
          i += token.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += mask[i++];
  }
  return out;
}

}  // namespace ripwarden
