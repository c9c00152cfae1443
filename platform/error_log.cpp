#include "platform/error_log.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "platform/process_runner.h"

namespace ripwarden {

namespace {

constexpr std::size_t kChunkBytes = 16384;
// The start says what was ripped and how; the end holds the encoder's
// verdict, which is what the rip is judged by.
constexpr std::size_t kHeadBytes = kMostErrorLogBytes / 2;
constexpr std::size_t kTailBytes = kMostErrorLogBytes - kHeadBytes;

// The last kTailBytes of what came after the head.
class Tail {
 public:
  void Add(const char* bytes, std::size_t size) {
    if (ring_.empty()) ring_.resize(kTailBytes);
    total_ += size;
    if (size > kTailBytes) {
      bytes += size - kTailBytes;
      size = kTailBytes;
    }
    while (size > 0) {
      const std::size_t part = std::min(size, kTailBytes - at_);
      std::memcpy(ring_.data() + at_, bytes, part);
      at_ = (at_ + part) % kTailBytes;
      bytes += part;
      size -= part;
    }
  }

  // Writes the tail, after a note of what was left out before it.
  void Finish(bool head_ended_line, const ErrorLog::Write& write) {
    if (total_ <= kTailBytes) {
      if (total_ > 0) write(ring_.data(), static_cast<std::size_t>(total_));
      return;
    }
    std::rotate(ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(at_), ring_.end());
    std::string_view kept(ring_);
    // Starting at a whole line, when one starts near the cut.
    if (const auto end = kept.substr(0, kChunkBytes).find('\n'); end != std::string_view::npos)
      kept.remove_prefix(end + 1);
    const std::uint64_t dropped = total_ - kept.size();
    const std::string note =
        (head_ended_line ? "[" : "\n[") + std::to_string(dropped) + " more bytes were not kept]\n";
    write(note.data(), note.size());
    write(kept.data(), kept.size());
  }

 private:
  std::string ring_;
  std::size_t at_ = 0;
  std::uint64_t total_ = 0;
};

}  // namespace

std::shared_ptr<ErrorLog> ErrorLog::Start(Read read, Write write, std::function<void()> close) {
  auto log = std::make_shared<ErrorLog>();
  std::thread([log, read = std::move(read), write = std::move(write), close = std::move(close)] {
    char chunk[kChunkBytes];
    std::size_t head = 0;
    bool head_ended_line = true;
    Tail tail;
    while (const std::size_t got = read(chunk, sizeof chunk)) {
      std::size_t take = std::min(got, kHeadBytes - head);
      if (take < got) {
        if (const auto end = std::string_view(chunk, take).rfind('\n'); end != std::string_view::npos)
          take = end + 1;
      }
      if (take > 0) {
        write(chunk, take);
        head_ended_line = chunk[take - 1] == '\n';
        head += take;
      }
      if (take < got) {
        tail.Add(chunk + take, got - take);
        head = kHeadBytes;
      }
    }
    tail.Finish(head_ended_line, write);
    close();
    std::lock_guard lock(log->mutex_);
    log->whole_ = true;
    log->ended_.notify_all();
  }).detach();
  return log;
}

void ErrorLog::WaitUntilWhole(std::uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  ended_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return whole_; });
}

}  // namespace ripwarden
