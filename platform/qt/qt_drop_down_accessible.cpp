#include "platform/qt/qt_drop_down_accessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

#include "platform/qt/qt_widgets.h"

namespace ripwarden::qt_platform {
namespace {

// What Qt's own interface for a drop-down list tells, but with its name
// from the accessible name (or the label pointing at it) and its current
// item as its value only.
class DropDownListAccessible final : public QAccessibleWidget {
 public:
  explicit DropDownListAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return List()->currentText();
    const QString text = QAccessibleWidget::text(kind);
    // With nothing to call it by, the current item beats silence.
    return kind == QAccessible::Name && text.isEmpty() ? List()->currentText() : text;
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.expandable = true;
    state.expanded = List()->view()->isVisible();
    state.collapsed = !state.expanded;
    return state;
  }

  // The one child is the list that drops down.
  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child->object() == List()->view() ? 0 : -1;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  void doAction(const QString& action) override {
    if (action != showMenuAction() && action != pressAction()) return QAccessibleWidget::doAction(action);
    if (List()->view()->isVisible()) {
      List()->hidePopup();
    } else {
      List()->showPopup();
    }
  }

 private:
  QComboBox* List() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* MakeAccessible(const QString&, QObject* object) {
  // Without its own meta-object the list reports Qt's class name: recognise it by type.
  auto* list = dynamic_cast<NotifyingComboBox*>(object);
  return list != nullptr ? new DropDownListAccessible(list) : nullptr;
}

}  // namespace

void NameDropDownListsAfterTheirLabels() { QAccessible::installFactory(MakeAccessible); }

}  // namespace ripwarden::qt_platform
