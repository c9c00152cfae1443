// A presets file is typed by hand. Whatever it holds, its lines carry no line
// end, names and values no "=", fields no "/", and a lookup finds the value of
// the first line with that name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "config/presets.h"
#include "fakes/fake_files.h"

namespace {

// Enough lookups to cover a typical file without making each run quadratic.
constexpr std::size_t kMostLookups = 8;

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ripwarden;
  const std::string content(reinterpret_cast<const char*>(data), size);
  testing::FakeFiles files;
  files.Put("Presets.cfg", content);
  Presets presets(files, "Presets.cfg");

  std::size_t line_bytes = 0;
  std::set<std::string> looked_up;
  for (const std::string& line : SplitPresetLines(content)) {
    Require(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    line_bytes += line.size();
    const std::string name = PresetName(line);
    const std::string value = PresetValue(line);
    Require(name.find('=') == std::string::npos && value.find('=') == std::string::npos);
    if (line.find('=') != std::string::npos) Require(line.starts_with(name + "=" + value));
    for (const PresetField field : {PresetField::kVideoCodec, PresetField::kVideoBitRate,
                                    PresetField::kAudioCodec, PresetField::kAudioBitRate}) {
      Require(GetPresetField(value, field).find('/') == std::string::npos);
    }
    if (looked_up.size() < kMostLookups && looked_up.insert(name).second) {
      Require(presets.LookupPreset(name) == value);
    }
  }
  Require(line_bytes <= content.size());
  return 0;
}
