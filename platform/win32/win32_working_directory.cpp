#include "platform/win32/win32_working_directory.h"

#include <windows.h>

#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

bool Win32WorkingDirectory::SetWorkingDirectory(const std::string& path) {
  return !path.empty() && ::SetCurrentDirectoryW(WidePath(path).c_str()) != 0;
}

}  // namespace ripwarden::win32_platform
