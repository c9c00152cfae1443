#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace ripwarden {

inline constexpr const char* kPresetsPath = "Data/Config/Presets.cfg";

// The four encoder values of a preset, by their place in its value text.
enum class PresetField { kVideoCodec = 1, kVideoBitRate = 2, kAudioCodec = 3, kAudioBitRate = 4 };

// Lines of a presets file: each ends at CR LF, CR, LF, NUL or the end of the
// file; a line end at the very end makes no extra empty line.
std::vector<std::string> SplitPresetLines(std::string_view content);

// The text before the first "=" (the whole line without one); not trimmed.
std::string PresetName(std::string_view line);
// The text between the first and second "="; empty without "=".
std::string PresetValue(std::string_view line);
// One "/"-separated field of a value; empty when it does not exist.
std::string GetPresetField(std::string_view value, PresetField field);

class Presets {
 public:
  explicit Presets(Files& files, std::string path = kPresetsPath);

  // The value of the first line whose name equals name exactly, or the empty
  // text (also when the file is missing or unreadable).
  std::string LookupPreset(std::string_view name);

 private:
  Files& files_;
  std::string path_;
};

}  // namespace ripwarden
