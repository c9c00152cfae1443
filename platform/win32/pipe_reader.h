#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ripwarden::win32_platform {

// One output stream of a child process: the read end of an overlapped named
// pipe. Taking what has arrived keeps a read in flight, so that Event() is
// signalled when output (or its end) arrives and a loop can sleep until
// then; a caller with no room takes nothing, no read is made and the child
// waits on its full pipe.
//
// Made once per captured stream; not thread-safe.
class PipeReader {
 public:
  PipeReader();
  ~PipeReader();
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;

  // False when the pipe could not be made.
  bool valid() const { return pipe_ != nullptr; }
  // The write end for the child, inheritable; the caller closes its copy
  // once the child has it.
  void* TakeChildEnd();

  // At most size bytes of what has arrived, leaving a read of at most size
  // in flight; with wait, waits until some arrive. 0 when none have, or
  // once the output has ended.
  std::size_t Take(char* buffer, std::size_t size, bool wait);
  // Bytes that have arrived and are not yet taken.
  std::size_t InTransit();
  bool Ended() const { return ended_; }
  // Signalled when the read in flight completes; nullptr once output ended.
  void* Event() const { return ended_ ? nullptr : event_; }

 private:
  void Issue(std::size_t size);
  // Finishes the read in flight; true when it brought bytes.
  bool Complete(bool wait);
  std::size_t Buffered() const { return got_ - taken_; }

  void* pipe_ = nullptr;
  void* child_end_ = nullptr;
  void* event_ = nullptr;
  struct Overlapped;
  std::unique_ptr<Overlapped> overlapped_;
  bool pending_ = false;
  bool ended_ = false;
  // Bytes a finished read brought, not yet taken.
  std::string buffer_;
  std::size_t got_ = 0;
  std::size_t taken_ = 0;
};

}  // namespace ripwarden::win32_platform
