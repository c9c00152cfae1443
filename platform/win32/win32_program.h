#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace ripwarden::win32_platform {

class Win32Tray;
class Win32WindowSystem;

// The program on Windows: the Win32 services wired to the application and
// driven by one loop on one thread. The loop sleeps in
// MsgWaitForMultipleObjectsEx until a window message, the next drive poll or
// (during a rip) output from the encoder; a question box or the tray menu
// runs its own message loop inside a turn, so that the engine waits for the
// answer. WinMain and the tests run this one implementation.
class Win32Program {
 public:
  // Initialises the common controls and this thread's COM apartment first.
  Win32Program();
  ~Win32Program();
  Win32Program(const Win32Program&) = delete;
  Win32Program& operator=(const Win32Program&) = delete;

  // Takes the single-instance mutex and builds the windows and the tray.
  // False when another copy runs: the user was told, and nothing was built.
  bool Start();
  // The main loop, until the user quits; then writes back what is open.
  // The exit code.
  int Run();

  Win32WindowSystem& windows();
  Win32Tray& tray();
  // Called before each sleep with its longest length (milliseconds), for the
  // benchmark of idle wakeups.
  void SetSleepObserver(std::function<void(std::uint32_t timeout_ms)> observer);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace ripwarden::win32_platform
