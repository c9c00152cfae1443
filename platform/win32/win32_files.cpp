#include "platform/win32/win32_files.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <cwctype>

// windows.h renames it to CreateFileW, which is not the interface's name.
#undef CreateFile

#include "platform/win32/win32_process_runner.h"
#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// FILETIME counts 100 ns steps from 1601; FileStamp counts from 1970.
constexpr std::int64_t kFileTimeAt1970 = 116444736000000000LL;

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    if (valid()) ::CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

HANDLE OpenExisting(const std::wstring& path, DWORD access) {
  return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

SystemResult Failure(DWORD error) { return SystemResult::Failed(SystemMessage(error)); }

bool IsDiskFile(HANDLE handle) { return ::GetFileType(handle) == FILE_TYPE_DISK; }

bool WriteAll(HANDLE handle, std::string_view content) {
  while (!content.empty()) {
    const DWORD chunk = content.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(content.size());
    DWORD written = 0;
    if (!::WriteFile(handle, content.data(), chunk, &written, nullptr) || written == 0) return false;
    content.remove_prefix(written);
  }
  return true;
}

std::optional<std::string> ReadWhole(HANDLE handle) {
  std::string content;
  char buffer[8192];
  OVERLAPPED at{};
  while (true) {
    DWORD got = 0;
    at.Offset = static_cast<DWORD>(content.size() & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(content.size()) >> 32);
    if (!::ReadFile(handle, buffer, sizeof buffer, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) return content;
      return std::nullopt;
    }
    if (got == 0) return content;
    content.append(buffer, got);
  }
}

std::string Folder(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return {};
  return path.substr(0, slash);
}

// Where path's replacement is written first: ".<name>.new-<writer's process id>-<n>" beside it.
std::string TemporaryPrefix(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + base + ".new-";
}

std::wstring TemporaryBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return WidePath(TemporaryPrefix(path) + std::to_string(::GetCurrentProcessId()) + "-" +
                  std::to_string(counter++));
}

bool Runs(DWORD pid) {
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;  // someone else's, alive
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

// A writer killed between making its new file and putting it in place leaves
// that file behind; its name carries the writer's process id.
void RemoveLeftovers(const std::string& path) {
  const std::wstring prefix = WidePath(TemporaryPrefix(path));
  const std::size_t slash = prefix.find_last_of(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : prefix.substr(0, slash + 1);
  const std::wstring name_prefix = prefix.substr(folder.size());
  WIN32_FIND_DATAW entry{};
  const HANDLE search = ::FindFirstFileW((prefix + L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = entry.cFileName;
    if (!name.starts_with(name_prefix)) continue;
    const unsigned long pid = std::wcstoul(name.c_str() + name_prefix.size(), nullptr, 10);
    if (pid != 0 && pid != ::GetCurrentProcessId() && !Runs(pid)) ::DeleteFileW((folder + name).c_str());
  } while (::FindNextFileW(search, &entry));
  ::FindClose(search);
}

class Win32OpenFile final : public OpenFile {
 public:
  Win32OpenFile(std::string path, HANDLE handle, bool writable)
      : path_(std::move(path)), handle_(handle), writable_(writable) {}

  bool Writable() const override { return writable_; }

  std::optional<std::string> ReadAll() override {
    std::optional<std::string> content = ReadWhole(handle_.get());
    if (!content) return content;
    ansi_ = !content->starts_with(kByteOrderMark) && !IsUtf8(*content);
    if (ansi_) return AnsiToUtf8(*content);
    return content;
  }

  bool ReplaceContent(std::string_view content) override {
    if (!writable_) return false;
    std::string stored(content);
    if (ansi_) {
      // A character the code page lacks makes the whole file UTF-8, which
      // the next read takes as such.
      if (std::optional<std::string> ansi = Utf8ToAnsi(content)) stored = std::move(*ansi);
    }
    // The replacement needs the file free of this handle, which refuses deletion.
    handle_.Reset();
    const bool stored_safely = StoreFileSafely(path_, stored, true);
    handle_.Reset(OpenExisting(WidePath(path_), GENERIC_READ | GENERIC_WRITE));
    if (!handle_.valid()) {
      handle_.Reset(OpenExisting(WidePath(path_), GENERIC_READ));
      writable_ = false;
    }
    return stored_safely;
  }

 private:
  std::string path_;
  Handle handle_;
  bool writable_;
  bool ansi_ = false;
};

}  // namespace

bool StoreFileSafely(const std::string& path, std::string_view content, bool replace) {
  RemoveLeftovers(path);
  const std::wstring target = WidePath(path);
  const std::wstring temporary = TemporaryBeside(path);
  {
    Handle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    if (!file.valid()) return false;
    if (!WriteAll(file.get(), content) || !::FlushFileBuffers(file.get())) {
      file.Reset();
      ::DeleteFileW(temporary.c_str());
      return false;
    }
  }
  bool placed = false;
  if (replace) {
    // One rename over the old file, which no crash can leave halfway (ReplaceFileW
    // is several steps: Wine's leaves no file at all when killed between them).
    // The new file takes the old one's attributes; its security comes from the
    // folder, as the old file's did unless someone changed it by hand.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesW(temporary.c_str(), attributes);
    placed = ::MoveFileExW(temporary.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  } else {
    placed = ::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!placed) ::DeleteFileW(temporary.c_str());
  return placed;
}

namespace {

// Where the component of path that begins at from ends (at a backslash or the end).
std::size_t ComponentEnd(std::wstring_view path, std::size_t from) {
  return std::min(path.find(L'\\', from), path.size());
}

bool StartsWithUnc(std::wstring_view rest) {
  if (rest.size() < 4 || rest[3] != L'\\') return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::towupper(rest[i]) != L"UNC"[i]) return false;
  }
  return true;
}

}  // namespace

std::size_t PathRootLength(std::wstring_view path) {
  if (path.size() >= 2 && path[1] == L':') return 2;
  if (!path.starts_with(L"\\\\")) return 0;
  // "\\?\" and "\\.\": the drive ("C:") or volume, or after "UNC\" a server and share.
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) {
    if (!StartsWithUnc(path.substr(4))) return ComponentEnd(path, 4);
    const std::size_t server_end = ComponentEnd(path, 8);
    return server_end == path.size() ? server_end : ComponentEnd(path, server_end + 1);
  }
  const std::size_t server_end = ComponentEnd(path, 2);
  return server_end == path.size() ? server_end : ComponentEnd(path, server_end + 1);
}

SystemResult MakeFolders(const std::string& path) {
  const std::wstring wide = WidePath(path);
  // Each folder below the root, from the top; the root itself ("C:",
  // "\\server\share", "\\?\C:", "\\?\UNC\server\share") is none to create.
  // A folder that is there may still refuse creation with another code
  // (access denied on a share), so an error counts only if the end is missing.
  DWORD refused = ERROR_SUCCESS;
  for (std::size_t end = PathRootLength(wide); end < wide.size();) {
    end = ComponentEnd(wide, end + 1);
    if (!::CreateDirectoryW(wide.substr(0, end).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
      refused = ::GetLastError();
  }
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return Failure(refused != ERROR_SUCCESS ? refused : ::GetLastError());
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Failure(ERROR_ALREADY_EXISTS);
  return {};
}

std::unique_ptr<OpenFile> Win32Files::Open(const std::string& path) {
  // Asked first, not left to the open: an administrator (or Wine run as root) may open it for writing anyway.
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return OpenForReading(path);
  }
  HANDLE handle = OpenExisting(WidePath(path), GENERIC_READ | GENERIC_WRITE);
  if (handle != INVALID_HANDLE_VALUE && IsDiskFile(handle)) {
    return std::make_unique<Win32OpenFile>(path, handle, true);
  }
  if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  return OpenForReading(path);
}

std::unique_ptr<OpenFile> Win32Files::OpenForReading(const std::string& path) {
  HANDLE handle = OpenExisting(WidePath(path), GENERIC_READ);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  // A named pipe or device in a file's place would hold the program on its first read.
  if (!IsDiskFile(handle)) {
    ::CloseHandle(handle);
    return nullptr;
  }
  return std::make_unique<Win32OpenFile>(path, handle, false);
}

namespace {

std::optional<FileStamp> StampOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path.empty() || !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  FileStamp stamp;
  stamp.is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  const auto written =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                data.ftLastWriteTime.dwLowDateTime);
  stamp.modified_ns = (written - kFileTimeAt1970) * 100;
  return stamp;
}

// Removes one entry of a tree, links as themselves.
bool RemoveEntry(const std::wstring& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ::DeleteFileW(path.c_str()) != 0;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAW entry{};
    const HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") RemoveEntry(path + L"\\" + name, entry.dwFileAttributes);
      } while (::FindNextFileW(search, &entry));
      ::FindClose(search);
    }
  }
  // A junction or directory link goes as an empty folder would, its target untouched.
  return ::RemoveDirectoryW(path.c_str()) != 0;
}

}  // namespace

std::optional<FileStamp> Win32Files::Stamp(const std::string& path) { return StampOf(WidePath(path)); }

std::optional<FileStamp> Win32Files::ProgramStamp(const std::string& program) {
  const std::optional<std::wstring> file = ResolveProgram(program);
  return file ? StampOf(*file) : std::nullopt;
}

bool Win32Files::CreateEmptyFile(const std::string& path) {
  HANDLE handle = ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    ::CloseHandle(handle);
    return true;
  }
  return ::GetLastError() == ERROR_FILE_EXISTS;
}

bool Win32Files::CreateFile(const std::string& path, std::string_view content) {
  const std::string folder = Folder(path);
  if (!folder.empty() && !MakeFolders(folder)) return false;
  return StoreFileSafely(path, content, false);
}

SystemResult Win32Files::RemoveFile(const std::string& path) {
  if (!::DeleteFileW(WidePath(path).c_str())) return Failure(::GetLastError());
  return {};
}

SystemResult Win32Files::RenameFile(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return Failure(ERROR_FILE_NOT_FOUND);
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail, in one step.
  if (!::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH))
    return Failure(::GetLastError());
  return {};
}

SystemResult Win32Files::FlushFile(const std::string& path) {
  // FlushFileBuffers needs a handle that may write; others may go on reading.
  const HANDLE handle =
      ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Failure(::GetLastError());
  const bool flushed = ::FlushFileBuffers(handle) != 0;
  const DWORD error = ::GetLastError();
  ::CloseHandle(handle);
  if (!flushed) return Failure(error);
  return {};
}

SystemResult Win32Files::MakeFolders(const std::string& path) { return win32_platform::MakeFolders(path); }

bool Win32Files::RemoveTree(const std::string& path) {
  if (path.empty()) return false;
  std::wstring wide = WidePath(path);
  while (wide.size() > 3 && wide.back() == L'\\') wide.pop_back();
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  RemoveEntry(wide, attributes);
  return ::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> Win32Files::ListFolder(const std::string& path) {
  std::vector<std::string> names;
  if (path.empty()) return names;
  std::wstring pattern = WidePath(path);
  if (pattern.back() != L'\\') pattern += L'\\';
  WIN32_FIND_DATAW entry{};
  const HANDLE search = ::FindFirstFileW((pattern + L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8(name));
  } while (::FindNextFileW(search, &entry));
  ::FindClose(search);
  return names;
}

}  // namespace ripwarden::win32_platform
