#pragma once

#include <QComboBox>
#include <QWidget>

#include <functional>

// The few widgets whose stock behaviour differs from what the windows need.
// None declares signals, so none needs the meta-object compiler.
namespace ripwarden::qt_platform {

// A top-level window whose close box only reports: the program decides
// whether and when the window goes away.
class AppWindow final : public QWidget {
 public:
  AppWindow(std::function<void()> on_close, Qt::WindowFlags flags);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::function<void()> on_close_;
};

// A drop-down list that reports gaining and losing focus and its list
// opening and closing, next to the user's choice reported through
// activated(). Focus moving into its own open list is not a focus change.
class NotifyingComboBox final : public QComboBox {
 public:
  NotifyingComboBox(std::function<void()> notify, QWidget* parent);

  void showPopup() override;
  void hidePopup() override;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool PopupOpen();

  std::function<void()> notify_;
};

}  // namespace ripwarden::qt_platform
