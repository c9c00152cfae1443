#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ripwarden {

// One remembered line of a group/key file. Nothing else about the layout of
// the file (blank lines, indentation, spacing around "=") is kept.
struct ConfigLine {
  enum class Kind { kGroup, kComment, kKey };
  Kind kind = Kind::kKey;
  std::string text;   // group name, comment text or key
  std::string value;  // key lines only
  bool operator==(const ConfigLine&) const = default;
};

struct ConfigText {
  bool utf8_mode = false;  // the file began with a UTF-8 byte-order mark
  std::vector<ConfigLine> lines;
  bool operator==(const ConfigText&) const = default;
};

ConfigText ParseConfig(std::string_view content);

// The file as it is written back: every line ends with CR LF, and a file that
// had a byte-order mark gets it again followed by an empty line.
std::string SerializeConfig(const ConfigText& config);

// Equality that ignores the case of the letters A to Z only.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace ripwarden
