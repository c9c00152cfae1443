#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ripwarden::testing {

// One read of a recorded encoder's standard output.
struct RecordedChunk {
  double seconds = 0;  // since the encoder started
  std::string bytes;
};

// Parses a stdout.chunks recording: one chunk a line, written as
// "<seconds> <byte count> b'<the bytes as a Python bytes literal>'".
// Nothing when a line does not follow that form or its count is wrong.
std::optional<std::vector<RecordedChunk>> ParseRecordedChunks(std::string_view text);

}  // namespace ripwarden::testing
