#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace ripwarden {

// A child's standard error copied into its log file on a thread of its own,
// so that the child never waits on the program, keeping at most
// kMostErrorLogBytes (from platform/process_runner.h): the first half as it
// comes and the last half at the end, with a note between them of how much
// was left out. Shared by every ProcessRunner; each supplies the system's
// reads and writes.
class ErrorLog {
 public:
  // Bytes read into the buffer; 0 once the output has ended or failed.
  using Read = std::function<std::size_t(char* buffer, std::size_t size)>;
  // False when the bytes could not all be written.
  using Write = std::function<bool(const char* bytes, std::size_t size)>;

  // Copies until read gives 0, then calls close (which ends both handles).
  static std::shared_ptr<ErrorLog> Start(Read read, Write write, std::function<void()> close);

  // Waits at most timeout_ms for the child's standard error to end.
  void WaitUntilWhole(std::uint32_t timeout_ms);

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool whole_ = false;
};

}  // namespace ripwarden
