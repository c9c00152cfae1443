#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ripwarden {

// The character set of the program's own narrow text, which decides how a
// settings file that begins with a UTF-8 byte-order mark is read and written.
enum class Charset {
  // One byte per character, byte value = code point (U+0000 to U+00FF), as on
  // a single-byte Windows code page. Converted to and from UTF-8 at the file.
  kLatin1,
  // The program's text already is UTF-8 (Linux): passed through unchanged,
  // but text that is not well-formed UTF-8 is refused.
  kUtf8,
};

// Program text to the UTF-8 stored in a file with a byte-order mark.
std::string ToFileUtf8(std::string_view text, Charset charset);

// UTF-8 from such a file to program text. Ill-formed text (and, for Latin-1,
// a character above U+00FF) gives the empty text; a multi-byte sequence cut
// short by the end of the text ends it just before that sequence.
std::string FromFileUtf8(std::string_view utf8, Charset charset);

enum class ByteOrder { kLittleEndian, kBigEndian };

// UTF-16 (after its byte-order mark) to UTF-8; nothing when ill-formed: an odd
// number of bytes, or a surrogate without its other half.
std::optional<std::string> Utf16ToUtf8(std::string_view utf16, ByteOrder order);

// Well-formed UTF-8 to UTF-16 without a mark; nothing for anything else.
std::optional<std::string> Utf8ToUtf16(std::string_view utf8, ByteOrder order);

}  // namespace ripwarden
