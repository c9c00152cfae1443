// A main loop that polls: handle whatever events wait, sleep a millisecond,
// again. Runs until it is stopped.
#include <QCoreApplication>
#include <chrono>
#include <thread>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  for (;;) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
