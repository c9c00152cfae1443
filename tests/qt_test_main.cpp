#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

// One QApplication for all the widget tests, as the program has one.
int main(int argc, char** argv) {
  // Test discovery runs this program without the tests' environment, and a
  // developer may run it on a machine with no display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
