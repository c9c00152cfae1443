#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ripwarden::testing {

// What a tool printed, standard output and standard error together, and how
// it ended: its exit code, 128 + the signal that ended it, or 127 when it
// could not be started. It reads an empty standard input, since the encoder
// takes a "q" there as an order to stop.
struct ToolOutput {
  int exit_code = 127;
  std::string output;
};
ToolOutput RunCapturing(const std::vector<std::string>& argv);

// The last lines of a tool's output, for failure messages.
std::string LastLines(const std::string& output, int lines);

struct MediaStream {
  std::string type;  // "video", "audio", "subtitle", "data"
  std::string codec;
  std::string language;  // as the container tags it; empty when untagged
};

// Codecs of the first video and first audio stream (empty when there is none),
// every stream in file order, and the container's duration (0 when it gives
// none).
struct MediaInfo {
  std::string video_codec;
  std::string audio_codec;
  std::vector<MediaStream> streams;
  double duration_seconds = 0;
};

// Asks ffprobe; nothing when it cannot read the file.
std::optional<MediaInfo> ProbeMedia(const std::string& path);

}  // namespace ripwarden::testing
