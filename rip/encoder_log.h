#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ripwarden {

// What the encoder's log (its standard error) says about a rip.
struct EncoderLogFacts {
  // The last pass's frame count: what it got and what the title holds.
  std::optional<std::int64_t> frames_got;
  std::optional<std::int64_t> frames_expected;
  // The length of the title that was ripped: the main feature's, or the
  // longest scanned when the log does not say which one was chosen.
  std::optional<double> title_seconds;
  // The encoder's own words for a failure: its last "ERROR:" line, else its
  // last "Encode failed" or "No title found." line; empty when it gave none.
  std::string reason;
};

EncoderLogFacts ReadEncoderLog(std::string_view log);

// A playing time as people read it: "0:12", "1:30", "1:02:03".
std::string FormatDuration(double seconds);

}  // namespace ripwarden
