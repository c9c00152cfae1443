#include "helpers/recorded_chunks.h"

#include <cstdlib>

namespace ripwarden::testing {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes b'...' or b"..." that makes up the whole of text.
std::optional<std::string> DecodeBytesLiteral(std::string_view text) {
  if (text.size() < 3 || text[0] != 'b' || (text[1] != '\'' && text[1] != '"')) return std::nullopt;
  const char quote = text[1];
  std::string bytes;
  std::size_t i = 2;
  while (i < text.size() && text[i] != quote) {
    if (text[i] != '\\') {
      bytes += text[i++];
      continue;
    }
    if (++i >= text.size()) return std::nullopt;
    const char escaped = text[i++];
    switch (escaped) {
      case 'n':
        bytes += '\n';
        break;
      case 'r':
        bytes += '\r';
        break;
      case 't':
        bytes += '\t';
        break;
      case 'a':
        bytes += '\a';
        break;
      case 'b':
        bytes += '\b';
        break;
      case 'f':
        bytes += '\f';
        break;
      case 'v':
        bytes += '\v';
        break;
      case '\\':
      case '\'':
      case '"':
        bytes += escaped;
        break;
      case 'x': {
        if (i + 2 > text.size() || HexDigit(text[i]) < 0 || HexDigit(text[i + 1]) < 0) return std::nullopt;
        bytes += static_cast<char>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1]));
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  if (i + 1 != text.size()) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<std::vector<RecordedChunk>> ParseRecordedChunks(std::string_view text) {
  std::vector<RecordedChunk> chunks;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string line(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty()) continue;
    char* rest = nullptr;
    RecordedChunk chunk;
    chunk.seconds = std::strtod(line.c_str(), &rest);
    if (rest == line.c_str() || *rest != ' ') return std::nullopt;
    char* literal = nullptr;
    const unsigned long count = std::strtoul(rest + 1, &literal, 10);
    if (literal == rest + 1 || *literal != ' ') return std::nullopt;
    std::optional<std::string> bytes = DecodeBytesLiteral(literal + 1);
    if (!bytes || bytes->size() != count) return std::nullopt;
    chunk.bytes = std::move(*bytes);
    chunks.push_back(std::move(chunk));
  }
  return chunks;
}

}  // namespace ripwarden::testing
