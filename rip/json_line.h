#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace ripwarden {

// Text as a JSON string, quotes and all. Bytes that are not UTF-8 (a disc
// label in an old code page) are written as "\u00XX", which other readers take
// as Latin-1 and LineReader reads back to the same byte.
void AppendString(std::string& out, std::string_view text);

// Writes one flat JSON object, member by member.
class LineWriter {
 public:
  void Text(std::string_view name, std::string_view value) {
    Name(name);
    AppendString(line_, value);
  }
  void Integer(std::string_view name, const std::optional<std::int64_t>& value) {
    Name(name);
    line_ += value ? std::to_string(*value) : "null";
  }
  void Seconds(std::string_view name, const std::optional<double>& value) {
    Name(name);
    if (!value || !std::isfinite(*value)) {
      line_ += "null";
      return;
    }
    char number[32];
    std::snprintf(number, sizeof number, "%.3f", *value);
    line_ += number;
  }
  std::string Finish() { return line_ + "}"; }

 private:
  void Name(std::string_view name) {
    line_ += line_.empty() ? "{" : ",";
    AppendString(line_, name);
    line_ += ':';
  }
  std::string line_;
};

// Reads the flat objects LineWriter writes: string, number and null values.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : line_(line) {}

  // Calls take(name, text, is_string) for each member; false on bad syntax.
  template <typename Take>
  bool Members(Take take) {
    Skip();
    if (!Eat('{')) return false;
    Skip();
    if (Eat('}')) return AtEnd();
    while (true) {
      std::string name;
      std::string value;
      Skip();
      if (!String(name)) return false;
      Skip();
      if (!Eat(':')) return false;
      Skip();
      const bool is_string = Peek() == '"';
      if (is_string ? !String(value) : !Bare(value)) return false;
      take(name, value, is_string);
      Skip();
      if (Eat('}')) return AtEnd();
      if (!Eat(',')) return false;
    }
  }

 private:
  char Peek() const { return at_ < line_.size() ? line_[at_] : '\0'; }
  bool Eat(char c) {
    if (Peek() != c || at_ >= line_.size()) return false;
    ++at_;
    return true;
  }
  void Skip() {
    while (at_ < line_.size() && (line_[at_] == ' ' || line_[at_] == '\t' || line_[at_] == '\r')) ++at_;
  }
  bool AtEnd() {
    Skip();
    return at_ == line_.size();
  }
  bool Bare(std::string& value) {
    while (at_ < line_.size() && line_[at_] != ',' && line_[at_] != '}' && line_[at_] != ' ')
      value += line_[at_++];
    return !value.empty();
  }
  bool String(std::string& value) {
    if (!Eat('"')) return false;
    while (at_ < line_.size()) {
      const char c = line_[at_++];
      if (c == '"') return true;
      if (c != '\\') {
        value += c;
        continue;
      }
      if (at_ >= line_.size()) return false;
      const char kind = line_[at_++];
      switch (kind) {
        case 'n':
          value += '\n';
          break;
        case 't':
          value += '\t';
          break;
        case 'r':
          value += '\r';
          break;
        case 'b':
          value += '\b';
          break;
        case 'f':
          value += '\f';
          break;
        case 'u': {
          if (at_ + 4 > line_.size()) return false;
          const std::string hex(line_.substr(at_, 4));
          at_ += 4;
          char* end = nullptr;
          const long code = std::strtol(hex.c_str(), &end, 16);
          if (end != hex.c_str() + 4) return false;
          if (code < 0x100) {
            value += static_cast<char>(code);  // our own escapes are single bytes
          } else if (code < 0x800) {
            value += static_cast<char>(0xC0 | (code >> 6));
            value += static_cast<char>(0x80 | (code & 0x3F));
          } else {
            value += static_cast<char>(0xE0 | (code >> 12));
            value += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            value += static_cast<char>(0x80 | (code & 0x3F));
          }
          break;
        }
        default:
          value += kind;
      }
    }
    return false;
  }

  std::string_view line_;
  std::size_t at_ = 0;
};

// A number member's text as a number; nothing for null or anything else.
std::optional<std::int64_t> ToInteger(const std::string& text);
std::optional<double> ToSeconds(const std::string& text);

}  // namespace ripwarden
