#include "config/text_encoding.h"

#include <cstdint>

namespace ripwarden {

std::string ToFileUtf8(std::string_view text, Charset charset) {
  if (charset == Charset::kUtf8) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
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

}  // namespace ripwarden
