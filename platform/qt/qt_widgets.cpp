#include "platform/qt/qt_widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>

#include <utility>

namespace ripwarden::qt_platform {

AppWindow::AppWindow(std::function<void()> on_close, Qt::WindowFlags flags)
    : QWidget(nullptr, flags), on_close_(std::move(on_close)) {}

void AppWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  on_close_();
}

NotifyingComboBox::NotifyingComboBox(std::function<void()> notify, QWidget* parent)
    : QComboBox(parent), notify_(std::move(notify)) {}

void NotifyingComboBox::showPopup() {
  QComboBox::showPopup();
  // An empty list does not open.
  if (PopupOpen()) notify_();
}

void NotifyingComboBox::hidePopup() {
  // Qt also calls this whenever the box itself is hidden, list open or not.
  const bool was_open = PopupOpen();
  QComboBox::hidePopup();
  if (was_open) notify_();
}

void NotifyingComboBox::focusInEvent(QFocusEvent* event) {
  QComboBox::focusInEvent(event);
  if (event->reason() != Qt::PopupFocusReason) notify_();
}

void NotifyingComboBox::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  // Opening the list first announces the popup, then moves focus into it.
  const QWidget* now = QApplication::focusWidget();
  const bool into_own_list = now != nullptr && now->window() == view()->window();
  if (event->reason() != Qt::PopupFocusReason && !into_own_list) notify_();
}

bool NotifyingComboBox::PopupOpen() { return view()->isVisible(); }

}  // namespace ripwarden::qt_platform
