// The program. It takes no arguments: a desktop session starts it.
#include <QApplication>

#include "platform/qt/program.h"
#include "platform/system.h"

int main(int argc, char** argv) {
  // Caught from the first moment, so that a stop during start-up still ends
  // the program cleanly.
  ripwarden::CatchStopRequests();
  QApplication qt(argc, argv);
  ripwarden::qt_platform::Program program;
  if (!program.Start()) return 0;
  return program.Run();
}
