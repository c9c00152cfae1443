#include "config/presets.h"

#include <utility>

#include "config/text_helpers.h"

namespace ripwarden {

std::vector<std::string> SplitPresetLines(std::string_view content) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < content.size()) {
    const std::size_t start = i;
    while (i < content.size() && content[i] != '\r' && content[i] != '\n' && content[i] != '\0') ++i;
    lines.emplace_back(content.substr(start, i - start));
    if (i < content.size()) {
      const bool crlf = content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n';
      i += crlf ? 2 : 1;
    }
  }
  return lines;
}

std::string PresetName(std::string_view line) { return std::string(line.substr(0, line.find('='))); }

std::string PresetValue(std::string_view line) {
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return {};
  return TextField(line.substr(equals + 1), 1, '=');
}

std::string GetPresetField(std::string_view value, PresetField field) {
  return TextField(value, static_cast<int>(field), '/');
}

Presets::Presets(Files& files, std::string path) : files_(files), path_(std::move(path)) {}

std::string Presets::LookupPreset(std::string_view name) {
  const auto file = files_.OpenForReading(path_);
  if (!file) return {};
  const auto content = file->ReadAll();
  if (!content) return {};
  for (const std::string& line : SplitPresetLines(*content)) {
    if (PresetName(line) == name) return PresetValue(line);
  }
  return {};
}

}  // namespace ripwarden
