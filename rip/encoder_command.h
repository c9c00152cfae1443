#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/calendar.h"
#include "platform/path_rules.h"
#include "rip/encoder_dialect.h"

namespace ripwarden {

// Everything a rip's command line is made from, as read when the rip starts.
struct RipRequest {
  std::string input_path;   // what the encoder reads: a device, image or folder
  std::string destination;  // folder of the output file, as stored
  std::string label;        // the disc's volume label, trimmed
  LocalDateTime start;
  std::string container;  // "MP4", "MKV", ...
  std::string encoding;   // preset name; empty for no codec options
  std::string preset;     // the preset's value text
  std::string two_pass;   // setting text; "1" means on
  std::string audio_booster;
  // What to rip of the disc, as the settings said when the rip began:
  // "Main" or "All" titles, their limits in minutes, the languages kept.
  std::string titles;
  std::string shortest_title;
  std::string longest_title;
  std::string audio_languages;
  std::string subtitle_languages;
  std::string chapter_markers;  // "1" keeps the disc's chapters
  // Above 1 when another disc of the same label began in the same second:
  // its number follows the time in the file's name.
  int name_number = 0;

  // Made from the disc's scan for each title's encode, never stored:
  // the title to rip; 0: the encoder's own main feature. A disc ripped title
  // by title names each file with its title's number.
  int title = 0;
  bool name_with_title = false;
  // Tracks by their number on the disc ("1", "3"), in the disc's order.
  // Without audio tracks the first is taken; subtitle tracks are kept
  // selectable, with forced subtitles the encoder's foreign-audio search finds.
  std::vector<std::string> audio_tracks;
  std::vector<std::string> subtitle_tracks;
  bool foreign_audio_search = false;
};

struct EncoderCommand {
  std::string output_file;
  // What the encoder writes until the rip is known to be whole: the output
  // file's name with kEncodingSuffix, which no player or media library takes
  // for a finished film.
  std::string encoding_file;
  // Each argument as the encoder receives it: never split again, so folders
  // with spaces or parentheses pass untouched.
  std::vector<std::string> arguments;
  // The same command as one line of text, for the user to read.
  std::string display_line;
};

// The output file's name for a label: spaces become "_"; characters that
// cannot or should not stand in a file name, control characters and leading
// dots go.
std::string CleanFileName(std::string_view name);

inline constexpr std::string_view kEncodingSuffix = ".part";

// The name a rip that stopped short is kept under: "X.incomplete.MP4" for
// "X.MP4".
std::string IncompleteName(const std::string& output_file);

// The encoder's --format for a container setting. The encoder cannot tell the
// container from the temporary name; names it has no format for get MP4, as
// it would give them itself.
std::string ContainerFormat(std::string_view container);

// The output file is the label, the start time and the container, cut to the
// 255 bytes a file name may have, inside the destination folder.
EncoderCommand BuildEncoderCommand(const RipRequest& request, const EncoderDialect& dialect,
                                   const PathRules& paths);

}  // namespace ripwarden
