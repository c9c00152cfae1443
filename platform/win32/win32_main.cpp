// Ripwarden.exe. It reads no arguments and ends with code 0: a desktop
// session (or the Run key) starts it.
#include <windows.h>

#include "platform/win32/win32_program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ripwarden::win32_platform::Win32Program program;
  if (program.Start()) program.Run();
  return 0;
}
