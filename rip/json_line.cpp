#include "rip/json_line.h"

#include <cstdlib>

namespace ripwarden {

namespace {

// The length of the UTF-8 character at text[i], or 0 when none starts there.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

void AppendString(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto code = static_cast<unsigned char>(text[i]);
    char escaped[8];
    if (code == '"' || code == '\\') {
      out += '\\';
      out += text[i++];
    } else if (code == '\n') {
      out += "\\n";
      ++i;
    } else if (code == '\t') {
      out += "\\t";
      ++i;
    } else if (code < 0x20 || code == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
      out += escaped;
      ++i;
    } else if (code < 0x80) {
      out += text[i++];
    } else if (const std::size_t length = Utf8Length(text, i); length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
      out += escaped;
      ++i;
    }
  }
  out += '"';
}

std::optional<std::int64_t> ToInteger(const std::string& text) {
  if (text == "null") return std::nullopt;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0') return std::nullopt;
  return value;
}

std::optional<double> ToSeconds(const std::string& text) {
  if (text == "null") return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0') return std::nullopt;
  return value;
}

}  // namespace ripwarden
