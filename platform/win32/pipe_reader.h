#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/output_lines.h"

namespace ripwarden::win32_platform {

// One output stream of a child process: the read end of an overlapped named
// pipe and what came through it, cut into lines. While there is room among
// the held lines a read is kept in flight, so that Event() is signalled when
// output (or its end) arrives and a loop can sleep until then; without room
// no read is made and the child waits on its full pipe.
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

  // Takes what has arrived, without waiting. With overflow, output beyond
  // the most held is read and dropped, so that a writer waited for can end.
  void Collect(bool overflow = false);
  // Waits at most timeout_ms for the read in flight to finish, then collects.
  // For a child just ended: its end of the pipe may close a moment after the
  // system reports the process gone.
  void AwaitPending(std::uint32_t timeout_ms);
  // Bytes that can be taken without waiting.
  std::size_t Available();
  // As OutputLines::NextLine: waits while the output stops inside a line.
  std::string NextLine();
  bool Ended() const { return ended_; }
  // Signalled when the read in flight completes; nullptr once output ended.
  void* Event() const { return ended_ ? nullptr : event_; }

  OutputLines& lines() { return lines_; }

 private:
  void Issue(std::size_t size);
  // Finishes the read in flight; true when it brought bytes.
  bool Complete(bool wait);
  std::size_t Buffered() const { return got_ - taken_; }
  std::size_t ReadWaiting(char* buffer, std::size_t size);

  void* pipe_ = nullptr;
  void* child_end_ = nullptr;
  void* event_ = nullptr;
  struct Overlapped;
  std::unique_ptr<Overlapped> overlapped_;
  bool pending_ = false;
  bool ended_ = false;
  // Bytes a finished read brought, not yet taken into lines_.
  std::string buffer_;
  std::size_t got_ = 0;
  std::size_t taken_ = 0;
  OutputLines lines_;
};

}  // namespace ripwarden::win32_platform
