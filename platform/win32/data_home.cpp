#include "platform/win32/data_home.h"

#include <windows.h>
// After windows.h, which it needs.
#include <knownfolders.h>
#include <shlobj.h>

#include <optional>

#include "platform/win32/registry_autostart.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

namespace {

std::string Environment(const wchar_t* name) {
  wchar_t value[32768];
  const DWORD length = ::GetEnvironmentVariableW(name, value, 32768);
  if (length == 0 || length >= 32768) return {};
  return Utf8(std::wstring_view(value, length));
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> ReadWhole(const std::string& path) {
  HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string content;
  char buffer[8192];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0)
    content.append(buffer, got);
  ::CloseHandle(file);
  if (!ok) return std::nullopt;
  return content;
}

}  // namespace

std::string ResolveHome() {
  const std::string chosen = Environment(L"RIPWARDEN_HOME");
  if (!chosen.empty()) return chosen;
  const std::string roaming = Environment(L"APPDATA");
  return roaming.empty() ? std::string() : roaming + "\\Ripwarden";
}

std::string ResolveStateFolder() {
  const std::string chosen = Environment(L"RIPWARDEN_HOME");
  if (!chosen.empty()) return chosen + "\\State";
  // The history and logs belong to this machine, not to a roaming profile.
  const std::string local = Environment(L"LOCALAPPDATA");
  return local.empty() ? std::string() : local + "\\Ripwarden\\State";
}

std::string ShippedDefaultsFolder() {
  const std::string program = RunningProgramPath();
  const auto slash = program.find_last_of("\\/");
  if (slash == std::string::npos) return "Data\\Config";
  return program.substr(0, slash) + "\\Data\\Config";
}

bool InstallDefaults(const std::string& home, const std::string& defaults_folder) {
  const std::string folder = home + "\\Data\\Config";
  if (Exists(folder + "\\Settings.cfg") || !MakeFolders(folder)) return false;
  bool copied = false;
  for (const char* name : {"Presets.cfg", "Settings.cfg"}) {
    const std::string target = folder + "\\" + name;
    if (Exists(target)) continue;  // the user's own presets stay
    const auto content = ReadWhole(defaults_folder + "\\" + name);
    if (content && StoreFileSafely(target, *content, false)) copied = true;
  }
  return copied && Exists(folder + "\\Settings.cfg");
}

std::string VideosFolder() {
  PWSTR path = nullptr;
  std::string folder;
  if (::SHGetKnownFolderPath(FOLDERID_Videos, 0, nullptr, &path) == S_OK) folder = Utf8(path) + "\\";
  ::CoTaskMemFree(path);
  return folder;
}

}  // namespace ripwarden::win32_platform
