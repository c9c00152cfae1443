// RipwardenHelper.exe, a console program: its arguments are taken as UTF-16,
// so that a path reaches it whole whatever the ANSI code page.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32_text.h"

namespace ripwarden::helper {
// In main.cpp, shared with the other systems.
int HelperMain(const std::vector<std::string>& arguments);
}  // namespace ripwarden::helper

namespace {

// A drive ("R:" or "R:\\") is given to libdvdread as its root, which it
// reads through libdvdcss when the user has that. libdvdread first asks the
// C runtime about the bare drive; where that fails (Wine's does) it would
// give up, so it gets the drive's VIDEO_TS folder instead, read as files.
std::string DriveSource(std::string source) {
  const bool drive = (source.size() == 2 || (source.size() == 3 && source[2] == '\\')) && source[1] == ':' &&
                     std::isalpha(static_cast<unsigned char>(source[0]));
  if (!drive) return source;
  source.resize(2);
  struct _stat64 status {};
  if (_wstat64(ripwarden::win32_platform::Wide(source).c_str(), &status) == 0) return source + "\\";
  return source + "\\VIDEO_TS";
}

}  // namespace

int main() {
  // Lines end in "\n" alone, as on the other systems: the caller reads bytes.
  _setmode(_fileno(stdout), _O_BINARY);
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    arguments.push_back(ripwarden::win32_platform::Utf8(wide[i]));
  }
  if (wide != nullptr) ::LocalFree(wide);
  if (arguments.size() == 3 && arguments[0] == "copy") arguments[1] = DriveSource(arguments[1]);
  return ripwarden::helper::HelperMain(arguments);
}
