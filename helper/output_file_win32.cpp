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

  bool Close(std::string& why) override {
    const bool closed = ::CloseHandle(file_) != 0;
    file_ = INVALID_HANDLE_VALUE;
    if (!closed) why = SystemMessage(::GetLastError());
    return closed;
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

// Flushing a whole volume takes an administrator: each file is flushed on its
// own. NTFS journals the folders' entries itself, and Windows opens a folder
// for flushing only with rights a user may not have.
bool SyncCopy(const std::filesystem::path&, const std::vector<std::filesystem::path>& files,
              std::string& why) {
  for (const std::filesystem::path& path : files) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool flushed = file != INVALID_HANDLE_VALUE && ::FlushFileBuffers(file) != 0;
    if (!flushed) why = SystemMessage(::GetLastError());
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    if (!flushed) return false;
  }
  return true;
}

// A console program ends on Ctrl+C and TerminateProcess unless it asks otherwise.
void RestoreStopSignals() {}

}  // namespace ripwarden::helper
