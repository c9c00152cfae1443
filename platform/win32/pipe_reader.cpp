#include "platform/win32/pipe_reader.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace ripwarden::win32_platform {

namespace {

constexpr std::size_t kReadSize = 65536;

std::wstring UniquePipeName() {
  static std::atomic<unsigned> counter{0};
  return L"\\\\.\\pipe\\ripwarden-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++) + L"-" + std::to_wstring(::GetTickCount());
}

}  // namespace

struct PipeReader::Overlapped {
  OVERLAPPED value{};
};

PipeReader::PipeReader() : overlapped_(std::make_unique<Overlapped>()), buffer_(kReadSize, '\0') {
  const std::wstring name = UniquePipeName();
  // One instance, made first by us: nobody else can be the reading end.
  HANDLE pipe = ::CreateNamedPipeW(
      name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, static_cast<DWORD>(kReadSize), 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return;
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE child = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (child == INVALID_HANDLE_VALUE || event == nullptr) {
    if (child != INVALID_HANDLE_VALUE) ::CloseHandle(child);
    if (event != nullptr) ::CloseHandle(event);
    ::CloseHandle(pipe);
    return;
  }
  pipe_ = pipe;
  child_end_ = child;
  event_ = event;
  overlapped_->value.hEvent = event;
}

PipeReader::~PipeReader() {
  if (pipe_ == nullptr) return;
  if (pending_) {
    // The system must be done with the buffer before it goes.
    ::CancelIoEx(pipe_, &overlapped_->value);
    DWORD ignored = 0;
    ::GetOverlappedResult(pipe_, &overlapped_->value, &ignored, TRUE);
  }
  if (child_end_ != nullptr) ::CloseHandle(child_end_);
  ::CloseHandle(pipe_);
  ::CloseHandle(event_);
}

void* PipeReader::TakeChildEnd() {
  void* child = child_end_;
  child_end_ = nullptr;
  return child;
}

void PipeReader::Issue(std::size_t size) {
  if (ended_ || pending_ || pipe_ == nullptr) return;
  got_ = taken_ = 0;
  ::ResetEvent(event_);
  overlapped_->value.Internal = 0;
  overlapped_->value.InternalHigh = 0;
  const DWORD wanted = static_cast<DWORD>(std::min(size, buffer_.size()));
  // Success or not, an overlapped read reports through GetOverlappedResult.
  if (::ReadFile(pipe_, buffer_.data(), wanted, nullptr, &overlapped_->value) ||
      ::GetLastError() == ERROR_IO_PENDING) {
    pending_ = true;
  } else {
    ended_ = true;
  }
}

bool PipeReader::Complete(bool wait) {
  if (!pending_) return false;
  DWORD got = 0;
  if (::GetOverlappedResult(pipe_, &overlapped_->value, &got, wait ? TRUE : FALSE)) {
    pending_ = false;
    got_ = got;
    taken_ = 0;
    return got > 0;
  }
  if (::GetLastError() == ERROR_IO_INCOMPLETE) return false;
  // ERROR_BROKEN_PIPE: every writer has closed its end.
  pending_ = false;
  ended_ = true;
  return false;
}

std::size_t PipeReader::Take(char* buffer, std::size_t size, bool wait) {
  while (size > 0) {
    if (Buffered() > 0) {
      const std::size_t taken = std::min(size, Buffered());
      std::copy_n(buffer_.data() + taken_, taken, buffer);
      taken_ += taken;
      return taken;
    }
    if (ended_ || pipe_ == nullptr) return 0;
    if (!pending_) {
      Issue(size);
    } else if (!Complete(wait) && pending_) {
      return 0;
    }
  }
  return 0;
}

std::size_t PipeReader::InTransit() {
  DWORD in_pipe = 0;
  if (ended_ || !::PeekNamedPipe(pipe_, nullptr, 0, nullptr, &in_pipe, nullptr)) in_pipe = 0;
  return Buffered() + in_pipe;
}

}  // namespace ripwarden::win32_platform
