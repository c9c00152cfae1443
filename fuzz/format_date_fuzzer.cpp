// Date masks come from code today, but the calendar's fields come from the
// system clock: any value must format without a fault, and each field must
// read back as the number it was.
//
// Input: year, month, day, hour, minute and second as four bytes each (least
// significant first), then the mask.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "rip/date_format.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void RequireDigitsOf(const std::string& text, long long value, std::size_t least_digits) {
  long long read = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), read);
  Require(error == std::errc() && end == text.data() + text.size() && read == value);
  Require(text.size() - (text[0] == '-' ? 1 : 0) >= least_digits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using ripwarden::FormatDate;
  ripwarden::fuzz::FuzzInput input(data, size);
  ripwarden::LocalDateTime date;
  for (int* field : {&date.year, &date.month, &date.day, &date.hour, &date.minute, &date.second}) {
    *field = input.TakeInt();
  }
  const std::string mask = input.TakeRest();

  const std::string formatted = FormatDate(mask, date);
  if (mask.find('%') == std::string::npos) Require(formatted == mask);

  RequireDigitsOf(FormatDate("%yyyy", date), date.year, 4);
  RequireDigitsOf(FormatDate("%MM", date), date.month, 2);
  RequireDigitsOf(FormatDate("%dd", date), date.day, 2);
  RequireDigitsOf(FormatDate("%hh", date), date.hour, 2);
  RequireDigitsOf(FormatDate("%ii", date), date.minute, 2);
  RequireDigitsOf(FormatDate("%Ss", date), date.second, 2);
  const std::string short_year = FormatDate("%yy", date);
  Require(short_year.size() == 2);
  RequireDigitsOf(short_year, std::llabs(static_cast<long long>(date.year)) % 100, 2);
  return 0;
}
