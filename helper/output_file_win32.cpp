#include <windows.h>

#include "helper/output_file.h"
#include "platform/win32/win32_text.h"

namespace ripwarden::helper {

namespace {

using win32_platform::SystemMessage;

class Win32OutputFile : public OutputFile {
 public:
  explicit Win32OutputFile(HANDLE file) : file_(file) {}
  ~Win32OutputFile() override {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  }
  Win32OutputFile(const Win32OutputFile&) = delete;
  Win32OutputFile& operator=(const Win32OutputFile&) = delete;

  bool Write(const unsigned char* data, std::size_t bytes, std::string& why) override {
    while (bytes > 0) {
      const DWORD chunk = bytes > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes);
      DWORD written = 0;
      if (!::WriteFile(file_, data, chunk, &written, nullptr)) {
        why = SystemMessage(::GetLastError());
        return false;
      }
      data += written;
      bytes -= written;
    }
    return true;
  }

  bool SyncAndClose(std::string& why) override {
    const bool flushed = ::FlushFileBuffers(file_) != 0;
    if (!flushed) why = SystemMessage(::GetLastError());
    const bool closed = ::CloseHandle(file_) != 0;
    file_ = INVALID_HANDLE_VALUE;
    if (flushed && !closed) why = SystemMessage(::GetLastError());
    return flushed && closed;
  }

 private:
  HANDLE file_;
};

}  // namespace

std::unique_ptr<OutputFile> CreateOutputFile(const std::filesystem::path& path, std::string& why) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = SystemMessage(::GetLastError());
    return nullptr;
  }
  return std::make_unique<Win32OutputFile>(file);
}

// NTFS journals a folder's entries itself, and Windows opens a folder for
// flushing only with rights a user may not have: the files' flush suffices.
bool SyncFolder(const std::filesystem::path&, std::string&) { return true; }

// A console program ends on Ctrl+C and TerminateProcess unless it asks otherwise.
void RestoreStopSignals() {}

}  // namespace ripwarden::helper
