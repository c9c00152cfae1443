// Another copy of the program, as far as its instance lock goes: takes the
// mutex named by its argument, says "y" or "n" on standard output, and holds
// it until it is ended.
#include <windows.h>

#include <cstdio>

#include "platform/win32/mutex_instance_lock.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  ripwarden::win32_platform::MutexInstanceLock lock(argv[1]);
  std::fputs(lock.Acquire() ? "y\n" : "n\n", stdout);
  std::fflush(stdout);
  ::Sleep(INFINITE);
}
