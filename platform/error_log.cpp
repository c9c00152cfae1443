#include "platform/error_log.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "platform/process_runner.h"

namespace ripwarden {

std::shared_ptr<ErrorLog> ErrorLog::Start(Read read, Write write, std::function<void()> close) {
  auto log = std::make_shared<ErrorLog>();
  std::thread([log, read = std::move(read), write = std::move(write), close = std::move(close)] {
    char chunk[16384];
    std::size_t kept = 0;
    std::uint64_t dropped = 0;
    while (const std::size_t got = read(chunk, sizeof chunk)) {
      const std::size_t take = std::min(got, kMostErrorLogBytes - kept);
      if (take > 0 && write(chunk, take)) kept += take;
      dropped += got - take;
    }
    if (dropped > 0) {
      const std::string note = "\n[" + std::to_string(dropped) + " more bytes were not kept]\n";
      write(note.data(), note.size());
    }
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
