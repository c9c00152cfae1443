// The benchmark figure of the Win32 loop: how often the idle program wakes.
// Runs the real program (its windows hidden, no disc) for the given seconds
// and prints its wakeups per second; nothing fails on the figure.
//   win32_idle_wakeups <seconds>      with RIPWARDEN_HOME set to a test home
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/win32/win32_program.h"

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
  ripwarden::win32_platform::Win32Program program;
  if (!program.Start()) return 1;
  long sleeps = 0;
  program.SetSleepObserver([&sleeps](std::uint32_t) { ++sleeps; });
  const DWORD loop_thread = ::GetCurrentThreadId();
  std::thread stopper([loop_thread, seconds] {
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    ::PostThreadMessageW(loop_thread, WM_QUIT, 0, 0);
  });
  program.Run();
  stopper.join();
  // Over the idle time only, not the way out.
  std::printf("win32 loop, idle: %ld wakeups in %d s, %.2f per second\n", sleeps, seconds,
              static_cast<double>(sleeps) / seconds);
  return 0;
}
