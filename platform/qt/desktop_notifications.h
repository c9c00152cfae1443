#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

#include "platform/tray.h"

namespace ripwarden::qt_platform {

// Balloons as the desktop's own notifications (org.freedesktop.Notifications),
// sent here rather than through Qt's tray: Qt 6.4 gives information balloons
// low urgency, which GNOME keeps out of its banners, offers no action to
// click, and takes any program's click as ours.
class DesktopNotifications : public QObject {
  Q_OBJECT

 public:
  // `on_click` runs when the user clicks one of our notifications;
  // `on_failed` when the server refused one that Show() sent.
  DesktopNotifications(QDBusConnection bus, std::function<void()> on_click,
                       std::function<void(const QString& title, const QString& text, BalloonIcon)> on_failed);

  // Sends the balloon, replacing the one still showing. False, and nothing
  // sent, when the bus has no notification server to send it to.
  bool Show(const QString& title, const QString& text, BalloonIcon icon);

 private slots:
  void OnActionInvoked(uint id, const QString& action_key);
  void OnClosed(uint id, uint reason);

 private:
  struct Balloon {
    QString title;
    QString text;
    BalloonIcon icon;
  };
  bool ServerPresent() const;
  void Send(const Balloon& balloon);
  bool Ours(uint id) const;
  void Forget(uint id);

  QDBusConnection bus_;
  std::function<void()> on_click_;
  std::function<void(const QString&, const QString&, BalloonIcon)> on_failed_;
  // The server that gave out the ids below; a restarted one knows none of them.
  QString server_;
  bool server_has_actions_ = true;
  // Ours still showing, the newest last.
  std::deque<uint> shown_;
  // A balloon waits until the server has answered with the id it replaces.
  bool sending_ = false;
  std::optional<Balloon> waiting_;
};

}  // namespace ripwarden::qt_platform
