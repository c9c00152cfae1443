#include "platform/qt/qt_tray.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <iostream>

namespace ripwarden::qt_platform {

namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

// Message texts separate paragraphs with two carriage returns.
QString MessageText(const std::string& text) { return ToQt(text).replace('\r', '\n'); }

}  // namespace

QtTray::QtTray(QIcon icon, QDBusConnection bus)
    : icon_image_(std::move(icon)),
      notifications_(
          std::move(bus),
          [this] {
            Queue({UiEvent::Kind::kBalloonClicked, 0});
          },
          [this](const QString& title, const QString& text, BalloonIcon kind) {
            ShowWithoutServer(title, text, kind);
          }) {
  open_menus_.push_back(&menu_);
}

QtTray::~QtTray() = default;

void QtTray::Queue(UiEvent event) {
  events_.push_back(event);
  if (on_queued_) on_queued_();
}

bool QtTray::AddTrayIcon(const std::string& tip) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  icon_ = std::make_unique<QSystemTrayIcon>(icon_image_);
  icon_->setToolTip(ToQt(tip));
  icon_->setContextMenu(&menu_);
  QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     // StatusNotifier hosts report a left click, XEmbed trays a double click.
                     if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                       Queue({UiEvent::Kind::kTrayActivated, 0});
                     }
                   });
  QObject::connect(icon_.get(), &QSystemTrayIcon::messageClicked, [this] {
    if (qt_balloon_shown_) Queue({UiEvent::Kind::kBalloonClicked, 0});
  });
  icon_->show();
  return true;
}

void QtTray::RemoveTrayIcon() {
  if (icon_) icon_->hide();
  icon_.reset();
}

void QtTray::AddMenuItem(int item_id, const std::string& text) {
  QAction* action = open_menus_.back()->addAction(ToQt(text));
  QObject::connect(action, &QAction::triggered, [this, item_id] { Queue({UiEvent::Kind::kMenu, item_id}); });
  actions_[item_id] = action;
}

void QtTray::AddMenuSeparator() { open_menus_.back()->addSeparator(); }

void QtTray::BeginSubmenu(const std::string& text) {
  open_menus_.push_back(open_menus_.back()->addMenu(ToQt(text)));
}

void QtTray::EndSubmenu() {
  if (open_menus_.size() > 1) open_menus_.pop_back();
}

void QtTray::ClearMenu() {
  for (QMenu* submenu : menu_.findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) submenu->deleteLater();
  menu_.clear();
  actions_.clear();
  open_menus_.assign(1, &menu_);
}

void QtTray::SetItemGreyed(int item_id, bool greyed) {
  const auto found = actions_.find(item_id);
  if (found != actions_.end()) found->second->setEnabled(!greyed);
}

void QtTray::ShowBalloon(const std::string& title, const std::string& text, const std::string&,
                         BalloonIcon icon) {
  // Longer titles and texts are cut, not refused.
  const QString cut_title = ToQt(title).left(63);
  const QString cut_text = ToQt(text).left(255);
  if (notifications_.Show(cut_title, cut_text, icon)) {
    qt_balloon_shown_ = false;
    return;
  }
  ShowWithoutServer(cut_title, cut_text, icon);
}

void QtTray::ShowWithoutServer(const QString& title, const QString& text, BalloonIcon icon) {
  if (!icon_) {
    // Without a notification area the news goes where a terminal or a
    // session log can see it, so that a headless station still says what
    // happened to each disc.
    std::cerr << title.toStdString() << ": " << text.toStdString() << std::endl;
    return;
  }
  qt_balloon_shown_ = true;
  icon_->showMessage(title, text,
                     icon == BalloonIcon::kError ? QSystemTrayIcon::Critical : QSystemTrayIcon::Information,
                     10000);
}

std::optional<UiEvent> QtTray::TakeEvent() {
  if (events_.empty()) return std::nullopt;
  const UiEvent event = events_.front();
  events_.pop_front();
  return event;
}

QtMessageBoxes::QtMessageBoxes(std::function<QWidget*()> owner) : owner_(std::move(owner)) {}

bool QtMessageBoxes::NobodyCanAnswer() const {
  return !ask_offscreen_ && QGuiApplication::platformName() == "offscreen";
}

void QtMessageBoxes::ShowMessage(const std::string& title, const std::string& text) {
  if (NobodyCanAnswer()) {
    std::cerr << title << ": " << MessageText(text).toStdString() << std::endl;
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, ToQt(title), MessageText(text), QMessageBox::Ok, owner_());
  box.exec();
}

bool QtMessageBoxes::AskYesNo(const std::string& title, const std::string& text) {
  if (NobodyCanAnswer()) {
    std::cerr << title << ": " << MessageText(text).toStdString() << " (answered No)" << std::endl;
    return false;
  }
  QMessageBox box(QMessageBox::NoIcon, ToQt(title), MessageText(text), QMessageBox::Yes | QMessageBox::No,
                  owner_());
  return box.exec() == QMessageBox::Yes;
}

}  // namespace ripwarden::qt_platform
