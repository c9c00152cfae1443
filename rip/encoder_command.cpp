#include "rip/encoder_command.h"

#include <initializer_list>

#include "config/presets.h"
#include "rip/date_format.h"

namespace ripwarden {

namespace {

constexpr std::string_view kForbidden = "<>/\\*?:\"|";

// Builds the argument list and the line shown to the user side by side.
class CommandLine {
 public:
  // display is the fragment as written in the line; arguments what it passes.
  void Add(std::string_view display, std::initializer_list<std::string_view> arguments) {
    line_ += display;
    for (const auto argument : arguments) arguments_.emplace_back(argument);
  }
  EncoderCommand Finish(std::string output_file) {
    return {std::move(output_file), std::move(arguments_), std::move(line_)};
  }

 private:
  std::string line_;
  std::vector<std::string> arguments_;
};

}  // namespace

std::string CleanFileName(std::string_view name) {
  std::string clean;
  for (const char c : name) {
    const auto code = static_cast<unsigned char>(c);
    if (c == ' ') {
      clean += '_';
    } else if (code >= 32 && code != 127 && kForbidden.find(c) == std::string_view::npos) {
      clean += c;
    }
  }
  return clean;
}

EncoderCommand BuildEncoderCommand(const RipRequest& request, const EncoderDialect& dialect) {
  const std::string file_name =
      CleanFileName(request.label + FormatDate("_(%yyyy-%mm-%dd_%hh-%ii-%ss)", request.start));
  const std::string output_file = request.destination + file_name + "." + request.container;

  CommandLine command;
  command.Add("-i ", {"-i"});
  command.Add(request.input_path, {request.input_path});
  command.Add(" -o ", {"-o"});
  command.Add(output_file, {output_file});
  if (dialect.main_feature) {
    command.Add(" --main-feature", {"--main-feature"});
  } else {
    command.Add(" -L", {"-L"});
  }
  if (!request.encoding.empty()) {
    const std::string video_codec = GetPresetField(request.preset, PresetField::kVideoCodec);
    const std::string video_rate = GetPresetField(request.preset, PresetField::kVideoBitRate);
    command.Add(" -e ", {"-e"});
    command.Add(video_codec, {video_codec});
    command.Add(" -b ", {"-b"});
    command.Add(video_rate, {video_rate});
    if (request.two_pass == "1" && video_codec == "x264") {
      switch (dialect.two_pass) {
        case EncoderDialect::TwoPass::kClassic:
          command.Add(" -2 T", {"-2", "T"});
          break;
        case EncoderDialect::TwoPass::kBareFlag:
          command.Add(" -2", {"-2"});
          break;
        case EncoderDialect::TwoPass::kMultiPass:
          command.Add(" --multi-pass", {"--multi-pass"});
          break;
      }
    }
    const std::string audio_codec = GetPresetField(request.preset, PresetField::kAudioCodec);
    const std::string audio_rate = GetPresetField(request.preset, PresetField::kAudioBitRate);
    command.Add(" -a 1 -E ", {"-a", "1", "-E"});
    command.Add(audio_codec, {audio_codec});
    command.Add(" -B ", {"-B"});
    command.Add(audio_rate, {audio_rate});
    if (request.audio_booster == "1") command.Add(" -D 1.5", {"-D", "1.5"});
  }
  return command.Finish(output_file);
}

}  // namespace ripwarden
