#pragma once

#include <functional>
#include <memory>

namespace ripwarden::qt_platform {

class QtMessageBoxes;
class QtTray;
class QtWindowSystem;

// The program: the system's services (platform/system.h) and Qt's windows
// wired to the application (app/app_graph.h) and driven by Qt's event loop, which sleeps until a window
// event, the next drive poll or (during a rip) output from the encoder. The program's main() and the
// benchmarks run this one implementation. Needs a QApplication, made before it and outliving it, and
// CatchStopRequests called before that.
class Program {
 public:
  Program();
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Takes the single-instance lock and builds the windows and the tray.
  // False when another copy runs: the user was told, and nothing was built.
  bool Start();
  // The main loop, until the user quits or a stop signal comes; then writes
  // back what is open. The exit code.
  int Run();

  // For the benchmarks: the windows the loop serves, and a call at the end
  // of each turn with how long the loop will then sleep (milliseconds, 0 when
  // it goes on at once).
  QtWindowSystem& windows();
  // For tests of the loop: the tray and the question boxes it serves.
  QtTray& tray();
  QtMessageBoxes& boxes();
  void SetTurnObserver(std::function<void(int sleep_ms)> observer);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace ripwarden::qt_platform
