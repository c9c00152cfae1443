#include "config/text_encoding.h"

#include <cstdint>

namespace ripwarden {

namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string ToFileUtf8(std::string_view text, Charset charset) {
  if (charset == Charset::kUtf8) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (const char c : text) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

namespace {

enum class Step { kChar, kCutShort, kBad };

// Decodes the sequence at text[i], rejecting overlong forms, surrogates and
// code points past U+10FFFF.
Step DecodeOne(std::string_view text, std::size_t& i, std::uint32_t& code) {
  const auto lead = static_cast<unsigned char>(text[i]);
  int length = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    code = lead;
    ++i;
    return Step::kChar;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
    minimum = 0x10000;
  } else {
    return Step::kBad;
  }
  for (int k = 1; k < length; ++k) {
    if (i + static_cast<std::size_t>(k) >= text.size()) return Step::kCutShort;
    const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
    if ((next & 0xC0) != 0x80) return Step::kBad;
    code = (code << 6) | (next & 0x3Fu);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return Step::kBad;
  i += static_cast<std::size_t>(length);
  return Step::kChar;
}

}  // namespace

std::string FromFileUtf8(std::string_view utf8, Charset charset) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t start = i;
    std::uint32_t code = 0;
    switch (DecodeOne(utf8, i, code)) {
      case Step::kBad:
        return {};
      case Step::kCutShort:
        return out;
      case Step::kChar:
        break;
    }
    if (charset == Charset::kUtf8) {
      out.append(utf8.substr(start, i - start));
    } else if (code > 0xFF) {
      return {};
    } else {
      out += static_cast<char>(code);
    }
  }
  return out;
}

namespace {

std::uint32_t UnitAt(std::string_view bytes, std::size_t i, ByteOrder order) {
  const auto first = static_cast<unsigned char>(bytes[i]);
  const auto second = static_cast<unsigned char>(bytes[i + 1]);
  return order == ByteOrder::kLittleEndian ? (second << 8u) | first : (first << 8u) | second;
}

void AppendUnit(std::string& out, std::uint32_t unit, ByteOrder order) {
  const auto high = static_cast<char>(unit >> 8);
  const auto low = static_cast<char>(unit & 0xFF);
  out += order == ByteOrder::kLittleEndian ? low : high;
  out += order == ByteOrder::kLittleEndian ? high : low;
}

bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::optional<std::string> Utf16ToUtf8(std::string_view utf16, ByteOrder order) {
  if (utf16.size() % 2 != 0) return std::nullopt;
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); i += 2) {
    std::uint32_t code = UnitAt(utf16, i, order);
    if (IsLowSurrogate(code)) return std::nullopt;
    if (IsHighSurrogate(code)) {
      i += 2;
      if (i >= utf16.size()) return std::nullopt;
      const std::uint32_t low = UnitAt(utf16, i, order);
      if (!IsLowSurrogate(low)) return std::nullopt;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, code);
  }
  return out;
}

std::optional<std::string> Utf8ToUtf16(std::string_view utf8, ByteOrder order) {
  std::string out;
  out.reserve(utf8.size() * 2);
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::uint32_t code = 0;
    if (DecodeOne(utf8, i, code) != Step::kChar) return std::nullopt;
    if (code < 0x10000) {
      AppendUnit(out, code, order);
    } else {
      AppendUnit(out, 0xD800 + ((code - 0x10000) >> 10), order);
      AppendUnit(out, 0xDC00 + ((code - 0x10000) & 0x3FF), order);
    }
  }
  return out;
}

}  // namespace ripwarden
