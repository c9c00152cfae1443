#include "platform/output_lines.h"

#include <cstring>

namespace ripwarden {

namespace {

constexpr std::size_t kReadStep = 4096;

// The first CR or LF; memchr keeps a flood of output cheap to scan.
std::size_t FindLineEnd(std::string_view bytes) {
  const auto* lf = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
  const std::size_t before = lf != nullptr ? static_cast<std::size_t>(lf - bytes.data()) : bytes.size();
  const auto* cr = static_cast<const char*>(std::memchr(bytes.data(), '\r', before));
  if (cr != nullptr) return static_cast<std::size_t>(cr - bytes.data());
  return lf != nullptr ? before : std::string_view::npos;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A NUL ends the text of its line: the rest up to the line end is dropped.
void EndAtNul(std::string& line) {
  const std::size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
}

}  // namespace

void OutputLines::Hold(std::string_view bytes) {
  while (!bytes.empty()) {
    if (after_carriage_return_) {
      after_carriage_return_ = false;
      if (bytes.front() == '\n') {
        bytes.remove_prefix(1);
        continue;
      }
    }
    const std::size_t end = FindLineEnd(bytes);
    if (!dropping_) AddToLine(bytes.substr(0, end));
    if (end == std::string_view::npos) return;
    after_carriage_return_ = bytes[end] == '\r';
    // A cut line was handed on when it was cut; this end only ends its rest.
    if (dropping_) {
      dropping_ = false;
    } else {
      EndLine();
    }
    bytes.remove_prefix(end + 1);
  }
}

void OutputLines::AddToLine(std::string_view text) {
  const std::size_t room = kLongestLine - line_length_;
  if (text.size() <= room) {
    held_.append(text);
    line_length_ += text.size();
    return;
  }
  held_.append(text.substr(0, room));
  // Cut where a character begins: a half character would show as garbage.
  if (IsContinuationByte(text[room])) {
    const std::size_t line_start = held_.size() - kLongestLine;
    std::size_t cut = held_.size();
    while (cut > line_start && IsContinuationByte(held_[cut - 1])) --cut;
    if (cut > line_start && static_cast<unsigned char>(held_[cut - 1]) >= 0xC0) --cut;
    held_.resize(cut);
  }
  EndLine();
  dropping_ = true;
}

void OutputLines::EndLine() {
  held_ += '\n';
  ++whole_lines_;
  line_length_ = 0;
}

std::string OutputLines::NextLine(const Reader& read) {
  char chunk[kReadStep];
  while (whole_lines_ == 0) {
    const std::size_t got = read(chunk, sizeof chunk);
    if (got == 0) {
      std::string rest = held_.substr(start_);
      held_.clear();
      start_ = 0;
      line_length_ = 0;
      EndAtNul(rest);
      return rest;
    }
    Hold({chunk, got});
  }
  const std::size_t end = held_.find('\n', start_);
  std::string line = held_.substr(start_, end - start_);
  start_ = end + 1;
  --whole_lines_;
  // Handed-out bytes go once they are half of what is kept, so that taking
  // a line costs its own length, not that of all held output.
  if (start_ == held_.size()) {
    held_.clear();
    start_ = 0;
  } else if (start_ > kReadStep && start_ * 2 > held_.size()) {
    held_.erase(0, start_);
    start_ = 0;
  }
  EndAtNul(line);
  return line;
}

}  // namespace ripwarden
