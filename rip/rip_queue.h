#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "rip/encoder_command.h"

namespace ripwarden {

// A rip whose disc is being copied, or was copied and waits for its encode,
// as the queue file keeps it across restarts.
struct QueuedRip {
  enum class State { kCopying, kCopied, kFailed };
  // The rip's record in the history.
  std::string id;
  State state = State::kCopying;
  // Why a failed rip failed, as the queue window says it.
  std::string reason;
  // The copy once whole; while copying, where it is being made.
  std::string copy_folder;
  std::int64_t skipped_blocks = 0;
  std::string source;
  std::string encoder;
  // What the encode is made from; its input is the copy.
  RipRequest request;
};

std::string QueueLine(const QueuedRip& rip);
std::optional<QueuedRip> ParseQueueLine(std::string_view line);

// The queue file: one JSON object a line, oldest first, replaced whole at
// each change so that a crash leaves the earlier queue or the new one.
class RipQueueFile {
 public:
  RipQueueFile(Files& files, std::string path) : files_(files), path_(std::move(path)) {}

  // Every rip that could be read; lines that cannot are skipped.
  std::vector<QueuedRip> Load();
  bool Store(const std::vector<QueuedRip>& rips);

 private:
  Files& files_;
  std::string path_;
};

}  // namespace ripwarden
