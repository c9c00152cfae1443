#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ripwarden::win32_platform {

// The program's text is UTF-8; Windows takes and gives UTF-16. Ill-formed
// UTF-8 becomes U+FFFD, as the system's own conversion makes it.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

bool IsUtf8(std::string_view bytes);

// Text in the system's ANSI code page to UTF-8, and back; nothing when a
// character has no form in the code page.
std::string AnsiToUtf8(std::string_view ansi);
std::optional<std::string> Utf8ToAnsi(std::string_view utf8);

// The system's description of an error code from GetLastError, in UTF-8,
// without the full stop and line end it closes with.
std::string SystemMessage(unsigned long error);

// A path as the wide calls take it: forward slashes become backslashes.
std::wstring WidePath(std::string_view utf8);

}  // namespace ripwarden::win32_platform
