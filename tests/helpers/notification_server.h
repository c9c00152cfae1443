#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <vector>

#include "helpers/notify_record.h"

namespace ripwarden::testing {

// Stands in for the desktop's notification server: registered as
// org.freedesktop.Notifications, it records each Notify call and sends the
// click and close signals a test asks for, for any id.
class StandInNotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  // `offers_actions`: whether it says it can show actions (GNOME and KDE
  // can; some small servers cannot, and report a click as a close).
  explicit StandInNotificationServer(bool offers_actions = true);

  const std::vector<NotifyCall>& calls() const { return calls_; }
  void SetCallObserver(std::function<void(const NotifyCall&)> observer) { observer_ = std::move(observer); }

 public slots:
  uint Notify(const QString& app_name, uint replaces_id, const QString& app_icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints, int expire_timeout);
  QStringList GetCapabilities();
  void CloseNotification(uint id);
  // For tests, also reachable over the bus: what a user's click or
  // dismissal makes a real server send.
  void InvokeAction(uint id, const QString& action_key);
  void Close(uint id, uint reason);

 signals:
  void ActionInvoked(uint id, const QString& action_key);
  void NotificationClosed(uint id, uint reason);

 private:
  bool offers_actions_;
  uint last_id_ = 0;
  std::vector<NotifyCall> calls_;
  std::function<void(const NotifyCall&)> observer_;
};

}  // namespace ripwarden::testing
