#include "platform/win32/win32_drives.h"

#include <windows.h>
// After windows.h, which it needs.
#include <winioctl.h>

#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

namespace {

bool IsFullPath(const std::string& source) {
  const bool drive_path = source.size() >= 3 && DriveLetter(source.substr(0, 1)) != 0 && source[1] == ':' &&
                          (source[2] == '\\' || source[2] == '/');
  return drive_path || source.starts_with("\\\\") || source.starts_with("//");
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string FolderName(std::string path) {
  while (path.size() > 3 && (path.ends_with('\\') || path.ends_with('/'))) path.pop_back();
  return path.substr(path.find_last_of("\\/") + 1);
}

std::string TrimmedSpaces(std::string text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::optional<VolumeInfo> QueryRoot(const std::wstring& root) {
  // A drive without a disc must not bring up the system's "insert a disk" box.
  const UINT old_mode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  wchar_t label[MAX_PATH + 1] = {};
  wchar_t file_system[MAX_PATH + 1] = {};
  const BOOL ok = ::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr,
                                          file_system, MAX_PATH + 1);
  ::SetErrorMode(old_mode);
  if (!ok || file_system[0] == L'\0') return std::nullopt;
  return VolumeInfo{Utf8(file_system), TrimmedSpaces(Utf8(label))};
}

void SendTrayRequest(const std::string& source, DWORD request) {
  const char letter = DriveLetter(source);
  if (letter == 0) return;
  const std::wstring device = L"\\\\.\\" + std::wstring(1, static_cast<wchar_t>(letter)) + L":";
  HANDLE drive =
      ::CreateFileW(device.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (drive == INVALID_HANDLE_VALUE) return;
  DWORD returned = 0;
  ::DeviceIoControl(drive, request, nullptr, 0, nullptr, 0, &returned, nullptr);
  ::CloseHandle(drive);
}

}  // namespace

char DriveLetter(const std::string& source) {
  if (source.empty() || source.size() > 2 || (source.size() == 2 && source[1] != ':')) return 0;
  const char c = source[0];
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  return c >= 'A' && c <= 'Z' ? c : 0;
}

std::optional<VolumeInfo> Win32Drives::QueryVolume(const std::string& source) {
  if (const char letter = DriveLetter(source); letter != 0) {
    return QueryRoot(std::wstring(1, static_cast<wchar_t>(letter)) + L":\\");
  }
  if (!IsFullPath(source) || !IsFolder(source) || !IsFolder(source + "\\VIDEO_TS")) return std::nullopt;
  return VolumeInfo{"folder", FolderName(source)};
}

std::vector<std::string> Win32Drives::ListDrives() {
  std::vector<std::string> entries;
  wchar_t roots[512] = {};
  const DWORD length = ::GetLogicalDriveStringsW(511, roots);
  if (length == 0 || length > 511) return entries;
  for (const wchar_t* root = roots; *root != L'\0'; root += wcslen(root) + 1) {
    if (::GetDriveTypeW(root) != DRIVE_CDROM) continue;
    std::string entry = Utf8(std::wstring_view(root, 1)) + ":";
    if (const auto volume = QueryRoot(root); volume && !volume->label.empty()) entry += " " + volume->label;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string Win32Drives::EncoderInputPath(const std::string& source) {
  if (const char letter = DriveLetter(source); letter != 0) return std::string(1, letter) + ":\\VIDEO_TS";
  return IsFullPath(source) ? source : std::string();
}

void Win32Drives::EjectDrive(const std::string& source) {
  SendTrayRequest(source, IOCTL_STORAGE_EJECT_MEDIA);
}

void Win32Drives::LoadDrive(const std::string& source) { SendTrayRequest(source, IOCTL_STORAGE_LOAD_MEDIA); }

}  // namespace ripwarden::win32_platform
