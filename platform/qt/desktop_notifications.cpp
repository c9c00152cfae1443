#include "platform/qt/desktop_notifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>
#include <algorithm>

namespace ripwarden::qt_platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The installed menu entry, so that the desktop files the notifications
// under it and applies its per-application settings.
const QString kDesktopEntry = QStringLiteral("ripwarden");
constexpr uint kDismissedByUser = 2;
constexpr int kTimeoutMs = 10000;
// A server that keeps giving new ids without closing the old ones must not
// make the list grow.
constexpr std::size_t kMostRemembered = 8;

}  // namespace

DesktopNotifications::DesktopNotifications(
    QDBusConnection bus, std::function<void()> on_click,
    std::function<void(const QString&, const QString&, BalloonIcon)> on_failed)
    : bus_(std::move(bus)), on_click_(std::move(on_click)), on_failed_(std::move(on_failed)) {
  if (!bus_.isConnected()) return;
  // Naming the service makes the bus deliver only its owner's signals.
  bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
               SLOT(OnActionInvoked(uint, QString)));
  bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
               SLOT(OnClosed(uint, uint)));
}

bool DesktopNotifications::ServerPresent() const {
  if (!bus_.isConnected()) return false;
  QDBusConnectionInterface* daemon = bus_.interface();
  if (daemon == nullptr) return false;
  if (daemon->isServiceRegistered(kService).value()) return true;
  // Some desktops start their server on the first notification.
  return daemon->activatableServiceNames().value().contains(kService);
}

bool DesktopNotifications::Show(const QString& title, const QString& text, BalloonIcon icon) {
  if (!ServerPresent()) return false;
  // One that would replace this one at once anyway may be dropped.
  if (sending_) {
    waiting_ = Balloon{title, text, icon};
  } else {
    Send({title, text, icon});
  }
  return true;
}

void DesktopNotifications::Send(const Balloon& balloon) {
  sending_ = true;
  // Asked anew each time, since the server may have been replaced; its answer
  // comes before any signal about the notification sent next.
  auto* capabilities = new QDBusPendingCallWatcher(
      bus_.asyncCall(QDBusMessage::createMethodCall(kService, kPath, kInterface, "GetCapabilities")), this);
  connect(capabilities, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
    const QDBusPendingReply<QStringList> reply = *call;
    if (reply.isValid()) server_has_actions_ = reply.value().contains(QStringLiteral("actions"));
    call->deleteLater();
  });

  const bool error = balloon.icon == BalloonIcon::kError;
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(error ? 2 : 1));
  hints.insert(QStringLiteral("desktop-entry"), kDesktopEntry);
  QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
  notify << QGuiApplication::applicationDisplayName() << (shown_.empty() ? 0u : shown_.back())
         << QString(error ? "dialog-error" : "dialog-information") << balloon.title
         << balloon.text
         // Desktops report a click on the notification itself only as its
         // "default" action.
         << QStringList{QStringLiteral("default"), QStringLiteral("Rip Progress")} << hints << kTimeoutMs;
  auto* sent = new QDBusPendingCallWatcher(bus_.asyncCall(notify), this);
  connect(sent, &QDBusPendingCallWatcher::finished, this, [this, balloon](QDBusPendingCallWatcher* call) {
    const QDBusPendingReply<uint> reply = *call;
    call->deleteLater();
    sending_ = false;
    if (reply.isValid()) {
      const QString server = reply.reply().service();
      if (server != server_) {
        server_ = server;
        shown_.clear();
      }
      const uint id = reply.value();
      Forget(id);
      shown_.push_back(id);
      if (shown_.size() > kMostRemembered) shown_.pop_front();
    } else if (on_failed_) {
      on_failed_(balloon.title, balloon.text, balloon.icon);
    }
    if (waiting_) {
      const Balloon next = *waiting_;
      waiting_.reset();
      Send(next);
    }
  });
}

bool DesktopNotifications::Ours(uint id) const {
  return id != 0 && std::find(shown_.begin(), shown_.end(), id) != shown_.end();
}

void DesktopNotifications::Forget(uint id) { std::erase(shown_, id); }

void DesktopNotifications::OnActionInvoked(uint id, const QString&) {
  if (Ours(id) && on_click_) on_click_();
}

void DesktopNotifications::OnClosed(uint id, uint reason) {
  if (!Ours(id)) return;
  Forget(id);
  // A server that cannot invoke actions closes the notification it was
  // clicked on; one that can reports a click as the action, and a close
  // as the user waving it away.
  if (reason == kDismissedByUser && !server_has_actions_ && on_click_) on_click_();
}

}  // namespace ripwarden::qt_platform
