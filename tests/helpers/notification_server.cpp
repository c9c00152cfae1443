#include "helpers/notification_server.h"

namespace ripwarden::testing {

StandInNotificationServer::StandInNotificationServer(bool offers_actions) : offers_actions_(offers_actions) {}

uint StandInNotificationServer::Notify(const QString& app_name, uint replaces_id, const QString& app_icon,
                                       const QString& summary, const QString& body,
                                       const QStringList& actions, const QVariantMap& hints,
                                       int expire_timeout) {
  NotifyCall call;
  call.app_name = app_name.toStdString();
  call.replaces_id = replaces_id;
  call.app_icon = app_icon.toStdString();
  call.summary = summary.toStdString();
  call.body = body.toStdString();
  for (const QString& action : actions) call.actions.push_back(action.toStdString());
  if (hints.contains("urgency")) call.urgency = hints.value("urgency").toInt();
  call.desktop_entry = hints.value("desktop-entry").toString().toStdString();
  call.expire_timeout = expire_timeout;
  // As a real server does, a replaced notification keeps its id.
  call.id = replaces_id != 0 && replaces_id <= last_id_ ? replaces_id : ++last_id_;
  calls_.push_back(call);
  if (observer_) observer_(call);
  return call.id;
}

QStringList StandInNotificationServer::GetCapabilities() {
  QStringList capabilities{"body"};
  if (offers_actions_) capabilities << "actions";
  return capabilities;
}

void StandInNotificationServer::CloseNotification(uint id) { emit NotificationClosed(id, 3); }

void StandInNotificationServer::InvokeAction(uint id, const QString& action_key) {
  emit ActionInvoked(id, action_key);
}

void StandInNotificationServer::Close(uint id, uint reason) { emit NotificationClosed(id, reason); }

}  // namespace ripwarden::testing
