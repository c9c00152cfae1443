#include "rip/encoder_log.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace ripwarden {

namespace {

// The text after the bracketed time stamp the encoder puts before most lines.
std::string_view Message(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.starts_with('[')) {
    const auto close = line.find("] ");
    if (close != std::string_view::npos) line.remove_prefix(close + 2);
  }
  return line;
}

// The digits at the start of text, if any.
std::optional<std::int64_t> LeadingNumber(std::string_view text) {
  std::int64_t value = 0;
  std::size_t i = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i < 18)
    value = value * 10 + (text[i++] - '0');
  if (i == 0) return std::nullopt;
  return value;
}

// "sync: got 307 frames, 2250 expected"
void ReadFrameCount(std::string_view message, EncoderLogFacts& facts) {
  constexpr std::string_view kGot = "sync: got ";
  if (!message.starts_with(kGot)) return;
  message.remove_prefix(kGot.size());
  const auto got = LeadingNumber(message);
  const auto comma = message.find(", ");
  if (!got || comma == std::string_view::npos) return;
  const auto expected = LeadingNumber(message.substr(comma + 2));
  if (!expected || !message.ends_with(" expected")) return;
  facts.frames_got = got;
  facts.frames_expected = expected;
}

// "scan: duration is 00:01:30 (90000 ms)"
std::optional<double> ScanDuration(std::string_view message) {
  constexpr std::string_view kDuration = "scan: duration is ";
  if (!message.starts_with(kDuration)) return std::nullopt;
  const auto open = message.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  const auto ms = LeadingNumber(message.substr(open + 1));
  if (!ms) return std::nullopt;
  return static_cast<double>(*ms) / 1000.0;
}

// A number after a marker anywhere in the message.
std::optional<std::int64_t> NumberAfter(std::string_view message, std::string_view marker) {
  const auto at = message.find(marker);
  if (at == std::string_view::npos) return std::nullopt;
  return LeadingNumber(message.substr(at + marker.size()));
}

}  // namespace

EncoderLogFacts ReadEncoderLog(std::string_view log) {
  EncoderLogFacts facts;
  std::map<std::int64_t, double> title_seconds;
  std::int64_t scanning = 0;
  std::optional<std::int64_t> main_feature;
  std::string error_line;
  std::string ending_line;
  while (!log.empty()) {
    const auto end = log.find('\n');
    const std::string_view message = Message(log.substr(0, end));
    log.remove_prefix(end == std::string_view::npos ? log.size() : end + 1);

    ReadFrameCount(message, facts);
    if (const auto title = NumberAfter(message, "scan: scanning title "); title) scanning = *title;
    if (const auto seconds = ScanDuration(message); seconds) title_seconds[scanning] = *seconds;
    if (const auto title = NumberAfter(message, "main feature title "); title) main_feature = title;
    if (message.starts_with("ERROR:")) error_line = message;
    if (message.starts_with("Encode failed") || message == "No title found.") ending_line = message;
  }
  if (main_feature && title_seconds.count(*main_feature) != 0) {
    facts.title_seconds = title_seconds[*main_feature];
  } else if (!title_seconds.empty()) {
    facts.title_seconds =
        std::max_element(title_seconds.begin(), title_seconds.end(), [](const auto& a, const auto& b) {
          return a.second < b.second;
        })->second;
  }
  facts.reason = error_line.empty() ? ending_line : error_line;
  return facts;
}

std::string FormatDuration(double seconds) {
  const auto whole = static_cast<std::int64_t>(std::floor(std::max(0.0, seconds) + 0.5));
  const std::int64_t hours = whole / 3600;
  const std::int64_t minutes = whole / 60 % 60;
  const std::int64_t rest = whole % 60;
  const auto two = [](std::int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  if (hours > 0) return std::to_string(hours) + ":" + two(minutes) + ":" + two(rest);
  return std::to_string(minutes) + ":" + two(rest);
}

}  // namespace ripwarden
