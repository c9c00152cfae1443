#include "platform/win32/win32_text.h"

#include <windows.h>

#include <climits>
#include <string>

namespace ripwarden::win32_platform {

namespace {

int Length(std::size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

std::wstring ToWide(UINT code_page, DWORD flags, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int needed = ::MultiByteToWideChar(code_page, flags, bytes.data(), Length(bytes.size()), nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(code_page, flags, bytes.data(), Length(bytes.size()), wide.data(), needed);
  return wide;
}

}  // namespace

std::wstring Wide(std::string_view utf8) { return ToWide(CP_UTF8, 0, utf8); }

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int needed =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), Length(wide.size()), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string utf8(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), Length(wide.size()), utf8.data(), needed, nullptr, nullptr);
  return utf8;
}

bool IsUtf8(std::string_view bytes) {
  return bytes.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                Length(bytes.size()), nullptr, 0) > 0;
}

std::string AnsiToUtf8(std::string_view ansi) { return Utf8(ToWide(CP_ACP, 0, ansi)); }

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
  const std::wstring wide = Wide(utf8);
  if (wide.empty()) return std::string();
  BOOL lossy = FALSE;
  const int needed = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), Length(wide.size()),
                                           nullptr, 0, nullptr, &lossy);
  if (needed <= 0 || lossy) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), Length(wide.size()), ansi.data(), needed,
                        nullptr, &lossy);
  return ansi;
}

std::string SystemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", length);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ' ||
                              message.back() == L'.'))
    message.pop_back();
  if (message.empty()) return "error " + std::to_string(error);
  return Utf8(message);
}

std::wstring WidePath(std::string_view utf8) {
  std::wstring path = Wide(utf8);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

}  // namespace ripwarden::win32_platform
