// The stand-in notification server as a program of its own, on the session
// bus: each Notify call becomes a line of the log file (see
// notify_record.h), and "ready" is its first line once the name is held.
//   fake_notification_server LOG_FILE [--no-actions]
#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "helpers/notification_server.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s LOG_FILE [--no-actions]\n", argv[0]);
    return 2;
  }
  std::ofstream log(argv[1], std::ios::app);
  ripwarden::testing::StandInNotificationServer server(
      !(argc > 2 && std::strcmp(argv[2], "--no-actions") == 0));
  server.SetCallObserver([&log](const ripwarden::testing::NotifyCall& call) {
    log << ripwarden::testing::FormatNotifyCall(call) << std::endl;
  });
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject("/org/freedesktop/Notifications", &server,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
      !bus.registerService("org.freedesktop.Notifications")) {
    std::fprintf(stderr, "cannot take org.freedesktop.Notifications on the session bus\n");
    return 1;
  }
  log << "ready" << std::endl;
  return QCoreApplication::exec();
}
