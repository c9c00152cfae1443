#include "rip/json_line.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace ripwarden {

namespace {

// Inside the library's strings a byte that is not UTF-8 travels as this
// noncharacter followed by U+00XX; the noncharacter itself travels doubled.
// Both ends of the library are ours, so the pair never reaches a reader.
constexpr std::string_view kMark = "\xEF\xBF\xBF";
constexpr std::string_view kMarkEscape = "\\uffff";

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

std::string ByteEscape(unsigned char byte) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", byte);
  return escape;
}

// The byte a marked U+0080..U+00FF at text[i] stands for.
std::optional<unsigned char> MarkedByte(std::string_view text, std::size_t i) {
  if (i + 1 >= text.size()) return std::nullopt;
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead != 0xC2 && lead != 0xC3) return std::nullopt;
  return static_cast<unsigned char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
}

// The escape "\uXXXX" at line[i] as its code, or nothing.
std::optional<unsigned> EscapedCode(std::string_view line, std::size_t i) {
  if (i + 6 > line.size() || line[i + 1] != 'u') return std::nullopt;
  unsigned code = 0;
  for (std::size_t k = i + 2; k < i + 6; ++k) {
    const char c = line[k];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    code = code * 16 + static_cast<unsigned>(digit);
  }
  return code;
}

// Marks, before the library reads the line, what our own reader always took
// for a single byte: an escape below U+0100 and a raw byte that is not UTF-8.
// Outside strings neither is valid JSON, marked or not.
std::string MarkStrayBytes(std::string_view line) {
  std::string marked;
  marked.reserve(line.size());
  for (std::size_t i = 0; i < line.size();) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (byte == '\\' && i + 1 < line.size()) {
      const auto code = EscapedCode(line, i);
      const std::size_t length = code ? 6 : 2;
      if (code && *code >= 0x80 && *code <= 0xFF) marked += kMarkEscape;
      if (code && *code == 0xFFFF) marked += kMarkEscape;
      marked.append(line.substr(i, length));
      i += length;
    } else if (byte < 0x80) {
      marked += line[i++];
    } else if (const std::size_t length = Utf8Length(line, i); length == 0) {
      marked += std::string(kMarkEscape) + ByteEscape(byte);
      ++i;
    } else {
      if (line.substr(i, length) == kMark) marked += kMark;
      marked.append(line.substr(i, length));
      i += length;
    }
  }
  return marked;
}

// Undoes the marks of TextValue, putting each marked byte as byte_text gives it.
template <typename ByteText>
std::string Unmark(std::string_view text, ByteText byte_text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, kMark.size()) != kMark) {
      out += text[i++];
      continue;
    }
    i += kMark.size();
    if (const auto byte = MarkedByte(text, i)) {
      out += byte_text(*byte);
      i += 2;
    } else {
      out += kMark;
      if (text.substr(i, kMark.size()) == kMark) i += kMark.size();
    }
  }
  return out;
}

}  // namespace

JsonLine TextValue(std::string_view text) {
  std::string marked;
  marked.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      marked += text[i++];
    } else if (const std::size_t length = Utf8Length(text, i); length == 0) {
      marked += kMark;
      marked += static_cast<char>(0xC0 | (byte >> 6));
      marked += static_cast<char>(0x80 | (byte & 0x3F));
      ++i;
    } else {
      if (text.substr(i, length) == kMark) marked += kMark;
      marked.append(text.substr(i, length));
      i += length;
    }
  }
  return marked;
}

JsonLine IntegerValue(const std::optional<std::int64_t>& value) {
  return value ? JsonLine(*value) : JsonLine(nullptr);
}

JsonLine SecondsValue(const std::optional<double>& value) {
  if (!value || !std::isfinite(*value)) return nullptr;
  const double rounded = std::round(*value * 1000) / 1000;
  return std::isfinite(rounded) ? rounded : *value;
}

std::string DumpLine(const JsonLine& line) {
  return Unmark(line.dump(-1, ' ', false, JsonLine::error_handler_t::replace), ByteEscape);
}

std::optional<JsonLine> ParseLine(std::string_view line) {
  try {
    JsonLine parsed = JsonLine::parse(MarkStrayBytes(line), nullptr, false);
    if (!parsed.is_object()) return std::nullopt;
    return parsed;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string TextMember(const JsonLine& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end() || !found->is_string()) return {};
  return Unmark(found->get_ref<const std::string&>(),
                [](unsigned char byte) { return std::string(1, static_cast<char>(byte)); });
}

std::optional<std::int64_t> IntegerMember(const JsonLine& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end() || !found->is_number_integer()) return std::nullopt;
  // The library reads every integer without a sign as unsigned.
  if (found->is_number_unsigned()) {
    const auto number = found->get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(number);
  }
  return found->get<std::int64_t>();
}

std::optional<double> SecondsMember(const JsonLine& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end() || !found->is_number()) return std::nullopt;
  return found->get<double>();
}

}  // namespace ripwarden
