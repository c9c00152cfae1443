#include "config/config_format.h"

namespace ripwarden {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

char FoldAsciiCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view RightTrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  }
  return true;
}

ConfigText ParseConfig(std::string_view content) {
  ConfigText config;
  if (content.size() >= 3 && content.substr(0, 3) == kByteOrderMark) {
    config.utf8_mode = true;
    content.remove_prefix(3);
  }
  std::size_t i = 0;
  const std::size_t n = content.size();
  const auto run_to = [&](auto stop) {
    const std::size_t from = i;
    while (i < n && !stop(content[i])) ++i;
    return content.substr(from, i - from);
  };
  while (true) {
    while (i < n && IsBlank(content[i])) ++i;
    if (i >= n) break;
    if (IsLineEnd(content[i])) {
      while (i < n && IsLineEnd(content[i])) ++i;
      continue;
    }
    ConfigLine line;
    if (content[i] == ';') {
      line.kind = ConfigLine::Kind::kComment;
      ++i;
      if (i < n && content[i] == ' ') ++i;
      line.text = run_to(IsLineEnd);
    } else if (content[i] == '[') {
      line.kind = ConfigLine::Kind::kGroup;
      ++i;
      line.text = run_to([](char c) { return c == ']' || IsLineEnd(c); });
      run_to(IsLineEnd);
    } else {
      line.kind = ConfigLine::Kind::kKey;
      line.text = RightTrimBlanks(run_to([](char c) { return c == '=' || IsLineEnd(c); }));
      if (i < n && content[i] == '=') {
        ++i;
        while (i < n && IsBlank(content[i])) ++i;
        line.value = run_to(IsLineEnd);
      }
    }
    config.lines.push_back(std::move(line));
  }
  return config;
}

std::string SerializeConfig(const ConfigText& config) {
  std::string out;
  if (config.utf8_mode) {
    out += kByteOrderMark;
    out += "\r\n";
  }
  for (const ConfigLine& line : config.lines) {
    switch (line.kind) {
      case ConfigLine::Kind::kGroup:
        out += '[';
        out += line.text;
        out += ']';
        break;
      case ConfigLine::Kind::kComment:
        out += "; ";
        out += line.text;
        break;
      case ConfigLine::Kind::kKey:
        out += line.text;
        out += " = ";
        out += line.value;
        break;
    }
    out += "\r\n";
  }
  // A file without the mark whose first key happens to begin with its bytes
  // would read back as a marked file with another key: an empty first line
  // keeps the two apart.
  if (!config.utf8_mode && out.starts_with(kByteOrderMark)) out.insert(0, "\r\n");
  return out;
}

}  // namespace ripwarden
