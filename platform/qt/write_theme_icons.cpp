// Build step: writes the program icon into an icon-theme tree,
// <folder>/hicolor/<size>x<size>/apps/ripwarden.png, for the installation.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "platform/qt/program_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication qt(argc, argv);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QString("%1/hicolor/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    if (!QDir().mkpath(folder) ||
        !ripwarden::qt_platform::DrawProgramIcon(size).save(folder + "/ripwarden.png", "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(folder));
      return 1;
    }
  }
  return 0;
}
