#include "rip/encoder_command.h"

#include <initializer_list>

#include "config/presets.h"
#include "rip/date_format.h"

namespace ripwarden {

namespace {

constexpr std::string_view kForbidden = "<>/\\*?:\"|";
// The longest name, in bytes, that Linux file systems take, less room for
// the longest word a rip's file may gain while it is written or when kept
// incomplete.
constexpr std::string_view kIncompleteWord = ".incomplete";
static_assert(kIncompleteWord.size() >= kEncodingSuffix.size());
constexpr std::size_t kMostNameBytes = 255 - kIncompleteWord.size();
// The longest UTF-8 character has three bytes after its first.
constexpr std::size_t kMostContinuationBytes = 3;

// The longest start of text within bytes that does not end inside a UTF-8
// character (a label may be any length, a file name may not).
std::string_view FitName(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = bytes;
  const auto continues = [&](std::size_t at) {
    return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
  };
  while (end > 0 && bytes - end < kMostContinuationBytes && continues(end)) --end;
  // Bytes that are not UTF-8 are cut where they stand.
  return continues(end) ? text.substr(0, bytes) : text.substr(0, end);
}

// "_title03": two digits, more for a disc that has more titles.
std::string TitleWord(int title) {
  std::string number = std::to_string(title);
  if (number.size() < 2) number.insert(0, 2 - number.size(), '0');
  return "_title" + number;
}

// The label, the start time, the title when each has a file, and the
// container made into one name that fits; only the label is ever cut.
std::string OutputFileName(const RipRequest& request) {
  std::string stamp = FormatDate("_(%yyyy-%mm-%dd_%hh-%ii-%ss)", request.start);
  if (request.name_number > 1) stamp += "_" + std::to_string(request.name_number);
  if (request.name_with_title) stamp += TitleWord(request.title);
  const std::string container = CleanFileName(request.container);
  const std::string_view extension = FitName(container, kMostNameBytes - stamp.size() - 1);
  const std::string clean_label = CleanFileName(request.label);
  const std::string_view label = FitName(clean_label, kMostNameBytes - stamp.size() - 1 - extension.size());
  return std::string(label) + stamp + "." + std::string(extension);
}

// Builds the argument list and the line shown to the user side by side.
class CommandLine {
 public:
  // display is the fragment as written in the line; arguments what it passes.
  void Add(std::string_view display, std::initializer_list<std::string_view> arguments) {
    line_ += display;
    for (const auto argument : arguments) arguments_.emplace_back(argument);
  }
  // One option and its value, as "-t 3".
  void AddOption(std::string_view option, const std::string& value) {
    line_ += ' ';
    line_ += option;
    line_ += ' ';
    line_ += value;
    arguments_.emplace_back(option);
    arguments_.push_back(value);
  }
  EncoderCommand Finish(std::string output_file, std::string encoding_file) {
    return {std::move(output_file), std::move(encoding_file), std::move(arguments_), std::move(line_)};
  }

 private:
  std::string line_;
  std::vector<std::string> arguments_;
};

std::string JoinTracks(const std::vector<std::string>& tracks) {
  std::string list;
  for (const std::string& track : tracks) list += (list.empty() ? "" : ",") + track;
  return list;
}

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
  // A leading dot would hide the file, and "." or ".." would name a folder.
  clean.erase(0, clean.find_first_not_of('.'));
  return clean;
}

std::string IncompleteName(const std::string& output_file) {
  // Our file names never hold either separator, so the last one of either
  // kind ends the folder on every system.
  const auto slash = output_file.find_last_of("/\\");
  const auto dot = output_file.find_last_of('.');
  const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  if (!has_extension) return output_file + std::string(kIncompleteWord);
  return output_file.substr(0, dot) + std::string(kIncompleteWord) + output_file.substr(dot);
}

std::string ContainerFormat(std::string_view container) {
  std::string lower;
  for (const char c : container) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "mkv") return "av_mkv";
  if (lower == "webm") return "av_webm";
  return "av_mp4";
}

EncoderCommand BuildEncoderCommand(const RipRequest& request, const EncoderDialect& dialect,
                                   const PathRules& paths) {
  const std::string output_file = paths.JoinPath(request.destination, OutputFileName(request));
  std::string encoding_file = output_file + std::string(kEncodingSuffix);
  const std::string format = ContainerFormat(request.container);

  CommandLine command;
  command.Add("-i ", {"-i"});
  command.Add(request.input_path, {request.input_path});
  command.Add(" -o ", {"-o"});
  command.Add(encoding_file, {encoding_file});
  command.Add(" -f ", {"-f"});
  command.Add(format, {format});
  if (request.title > 0) {
    // -t alone: --main-feature would override it and rip the longest title.
    command.AddOption("-t", std::to_string(request.title));
  } else if (dialect.main_feature) {
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
    // One -E and -B serve every track: the encoder repeats the last value.
    command.AddOption("-a", request.audio_tracks.empty() ? "1" : JoinTracks(request.audio_tracks));
    command.AddOption("-E", audio_codec);
    command.AddOption("-B", audio_rate);
    if (request.audio_booster == "1") command.Add(" -D 1.5", {"-D", "1.5"});
  } else if (!request.audio_tracks.empty()) {
    command.AddOption("-a", JoinTracks(request.audio_tracks));
  }
  if (request.foreign_audio_search || !request.subtitle_tracks.empty()) {
    std::vector<std::string> subtitles = request.subtitle_tracks;
    // The encoder searches only when "scan" stands first and -F names it;
    // elsewhere it drops the search and keeps only a track's forced subtitles.
    if (request.foreign_audio_search) subtitles.insert(subtitles.begin(), "scan");
    command.AddOption("-s", JoinTracks(subtitles));
    if (request.foreign_audio_search) command.AddOption("-F", "1");
  }
  // Keeping them is the encoder's default, so only dropping them is said.
  if (request.chapter_markers == "0") command.Add(" --no-markers", {"--no-markers"});
  return command.Finish(std::move(output_file), std::move(encoding_file));
}

}  // namespace ripwarden
