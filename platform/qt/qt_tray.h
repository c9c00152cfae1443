#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/qt/desktop_notifications.h"
#include "platform/tray.h"

namespace ripwarden::qt_platform {

// The tray icon through Qt: a StatusNotifierItem where the desktop has a
// host for it, else an XEmbed icon. Balloons go to the desktop's
// notification server on `bus` where one runs, tray or not; else to Qt's
// balloon beside the icon, or with no icon to standard error.
class QtTray : public Tray {
 public:
  explicit QtTray(QIcon icon, QDBusConnection bus = QDBusConnection::sessionBus());
  ~QtTray() override;

  bool AddTrayIcon(const std::string& tip) override;
  void RemoveTrayIcon() override;
  void AddMenuItem(int item_id, const std::string& text) override;
  void AddMenuSeparator() override;
  void BeginSubmenu(const std::string& text) override;
  void EndSubmenu() override;
  void ClearMenu() override;
  void SetItemGreyed(int item_id, bool greyed) override;
  void ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                   BalloonIcon icon) override;
  std::optional<UiEvent> TakeEvent() override;

  // The menu, for showing it elsewhere when there is no tray.
  QMenu* Menu() { return &menu_; }
  // Called whenever an event is queued, so that the loop can wake for it.
  void SetEventQueuedHandler(std::function<void()> handler) { on_queued_ = std::move(handler); }
  bool HasEvents() const { return !events_.empty(); }

 private:
  void Queue(UiEvent event);
  void ShowWithoutServer(const QString& title, const QString& text, BalloonIcon icon);

  QIcon icon_image_;
  QMenu menu_;
  std::vector<QMenu*> open_menus_;
  std::map<int, QAction*> actions_;
  std::unique_ptr<QSystemTrayIcon> icon_;
  std::deque<UiEvent> events_;
  std::function<void()> on_queued_;
  DesktopNotifications notifications_;
  // Qt's click signal counts only for a balloon that Qt showed.
  bool qt_balloon_shown_ = false;
};

// Modal message boxes; where no one can answer (the offscreen platform) a
// message goes to standard error instead and a question is answered No.
class QtMessageBoxes final : public MessageBoxes {
 public:
  explicit QtMessageBoxes(std::function<QWidget*()> owner);
  void ShowMessage(const std::string& title, const std::string& text) override;
  bool AskYesNo(const std::string& title, const std::string& text) override;
  // Offscreen nobody could answer, so a question gets No at once; a test
  // that answers the boxes itself has them shown and waited on.
  void AskEvenOffscreen() { ask_offscreen_ = true; }

 private:
  bool NobodyCanAnswer() const;

  std::function<QWidget*()> owner_;
  bool ask_offscreen_ = false;
};

}  // namespace ripwarden::qt_platform
