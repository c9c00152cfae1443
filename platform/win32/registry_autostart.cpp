#include "platform/win32/registry_autostart.h"

#include <windows.h>

#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

namespace {

constexpr const wchar_t* kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kValueName = L"Ripwarden";

}  // namespace

std::string RunningProgramPath() {
  // Paths beyond MAX_PATH are cut without a NUL in the buffer; grow until it fits.
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return Utf8(std::wstring_view(buffer.data(), length));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

RegistryAutostart::RegistryAutostart(std::string program_path) : program_path_(std::move(program_path)) {}

void RegistryAutostart::Register() {
  const std::wstring program = Wide(program_path_.empty() ? RunningProgramPath() : program_path_);
  if (program.empty()) return;
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  ::RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                   static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
}

void RegistryAutostart::Unregister() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  ::RegDeleteValueW(key, kValueName);
  ::RegCloseKey(key);
}

std::optional<std::string> RegistryAutostart::RegisteredPath() {
  wchar_t value[32768];
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return Utf8(value);
}

}  // namespace ripwarden::win32_platform
