#include "platform/output_lines.h"

namespace ripwarden {

namespace {

constexpr std::size_t kBufferStep = 4096;
constexpr std::size_t kLeastRoom = 512;
constexpr const char* kLineEnds = "\r\n";

// A NUL ends the text of its line: the rest up to the line end is dropped.
void EndAtNul(std::string& line) {
  const std::size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
}

}  // namespace

void OutputLines::DropLineFeedAfterCarriageReturn(std::string& bytes, std::size_t from) {
  if (!after_carriage_return_ || from >= bytes.size()) return;
  after_carriage_return_ = false;
  if (bytes[from] == '\n') bytes.erase(from, 1);
}

void OutputLines::Hold(std::string_view bytes) {
  if (bytes.empty()) return;
  if (start_ > 0 && start_ >= held_.size() / 2) {
    held_.erase(0, start_);
    scanned_ -= start_;
    start_ = 0;
  }
  const std::size_t from = held_.size();
  held_.append(bytes);
  DropLineFeedAfterCarriageReturn(held_, from);
}

bool OutputLines::HoldsLineEnd() {
  if (held_.find_first_of(kLineEnds, scanned_) != std::string::npos) return true;
  scanned_ = held_.size();
  return false;
}

std::string OutputLines::NextLine(const Reader& read) {
  // A whole line held: cut it out where it stands.
  if (const std::size_t end = held_.find_first_of(kLineEnds, scanned_); end != std::string::npos) {
    std::string line = held_.substr(start_, end - start_);
    std::size_t next = end + 1;
    if (held_[end] == '\r') {
      if (next == held_.size()) {
        after_carriage_return_ = true;
      } else if (held_[next] == '\n') {
        ++next;
      }
    }
    start_ = next;
    scanned_ = next;
    if (start_ == held_.size()) {
      held_.clear();
      start_ = 0;
      scanned_ = 0;
    }
    EndAtNul(line);
    return line;
  }
  // Only part of one: gather the rest, reading as much as it takes.
  std::string line = held_.substr(start_);
  std::size_t scanned = scanned_ - start_;
  held_.clear();
  start_ = 0;
  scanned_ = 0;
  // The buffer grows in steps so that a line has no length limit, and each
  // read fills at most the room left in the current step.
  std::size_t capacity = kBufferStep;
  while (true) {
    const std::size_t end = line.find_first_of(kLineEnds, scanned);
    if (end != std::string::npos) {
      std::size_t next = end + 1;
      if (line[end] == '\r') {
        if (next == line.size()) {
          after_carriage_return_ = true;
        } else if (line[next] == '\n') {
          ++next;
        }
      }
      held_.assign(line, next, std::string::npos);
      line.resize(end);
      EndAtNul(line);
      return line;
    }
    scanned = line.size();
    while (capacity < line.size() + kLeastRoom) capacity += kBufferStep;
    const std::size_t gathered = line.size();
    line.resize(capacity);
    const std::size_t got = read(line.data() + gathered, capacity - gathered);
    line.resize(gathered + got);
    if (got == 0) {
      EndAtNul(line);
      return line;
    }
    DropLineFeedAfterCarriageReturn(line, gathered);
  }
}

}  // namespace ripwarden
