// A bare Qt Widgets program: one window made and left hidden.
//   reference_app first-turn   prints the CLOCK_MONOTONIC time of its event
//                              loop's first turn, and quits
//   reference_app idle         waits until it is stopped
#include <time.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(460, 200);
  if (argc > 1 && std::strcmp(argv[1], "first-turn") == 0) {
    QTimer::singleShot(0, [] {
      timespec now{};
      ::clock_gettime(CLOCK_MONOTONIC, &now);
      std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
      std::fflush(stdout);
      QApplication::quit();
    });
  }
  return QApplication::exec();
}
