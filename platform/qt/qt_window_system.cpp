#include "platform/qt/qt_window_system.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>

#include <algorithm>
#include <utility>

#include "platform/qt/qt_drop_down_accessible.h"
#include "platform/qt/qt_widgets.h"

namespace ripwarden::qt_platform {
namespace {

constexpr int kProgressMaximum = 10000;
constexpr QPoint kDefaultWindowCorner(449, 185);

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

// A label's text as a screen reader says it: without the '&' that marks the
// mnemonic letter, and "&&" as the one '&' it shows.
QString WithoutMnemonic(const QString& text) {
  QString plain;
  plain.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    plain += text[i];
  }
  return plain;
}

QFont MakeFont(FontId font) {
  switch (font) {
    case FontId::kSmall:
      return QFont(QStringLiteral("Verdana"), 8);
    case FontId::kBold:
      return QFont(QStringLiteral("Verdana"), 10, QFont::Bold);
    case FontId::kRegular:
      break;
  }
  return QFont(QStringLiteral("Verdana"), 10);
}

// A field the user types into; only what the pattern allows gets in.
QLineEdit* MakeTypedField(const QString& text, const QString& pattern, int most,
                          const std::function<void()>& notify, QWidget* parent) {
  auto* field = new QLineEdit(text, parent);
  field->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), field));
  if (most > 0) field->setMaxLength(most);
  // textEdited, not textChanged: SetText is the program's, not the user's.
  QObject::connect(field, &QLineEdit::textEdited, field, notify);
  return field;
}

QLabel* MakeLabel(const QString& text, Qt::Alignment alignment, QWidget* parent) {
  auto* label = new QLabel(parent);
  // Label texts include disc labels and paths from outside: never markup.
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  label->setAlignment(alignment);
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

}  // namespace

QtWindowSystem::QtWindowSystem() { NameDropDownListsAfterTheirLabels(); }

QtWindowSystem::~QtWindowSystem() {
  // Windows first, while the event queue they may still report to exists.
  windows_.clear();
}

bool QtWindowSystem::CreateAppWindow(int window_id, const std::string& title, int client_width,
                                     int client_height, WindowPlacement placement) {
  if (windows_.contains(window_id) || client_width < 0 || client_height < 0) return false;
  const Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                Qt::WindowCloseButtonHint;
  auto widget =
      std::make_unique<AppWindow>([this, window_id] { Queue(UiEvent::Kind::kClose, window_id); }, flags);
  widget->setWindowTitle(ToQt(title));
  widget->setFixedSize(client_width, client_height);
  if (!icon_.isNull()) widget->setWindowIcon(icon_);
  widget->move(Placement(placement, QSize(client_width, client_height)));
  Window& window = windows_[window_id];
  window.container = widget.get();
  window.widget = std::move(widget);
  return true;
}

void QtWindowSystem::ShowAppWindow(int window_id) {
  // show() keeps a minimised window minimised.
  if (QWidget* widget = WindowWidget(window_id)) widget->show();
}

void QtWindowSystem::HideAppWindow(int window_id) {
  if (QWidget* widget = WindowWidget(window_id)) widget->hide();
}

void QtWindowSystem::BringToFront(int window_id) {
  if (QWidget* widget = WindowWidget(window_id)) {
    widget->raise();
    widget->activateWindow();
  }
}

bool QtWindowSystem::IsWindowVisible(int window_id) {
  const QWidget* widget = WindowWidget(window_id);
  return widget != nullptr && widget->isVisible();
}

bool QtWindowSystem::CreateControl(int window_id, int control_id, ControlKind kind, const std::string& text,
                                   int x, int y, int width, int height) {
  const auto found = windows_.find(window_id);
  if (found == windows_.end() || controls_.contains(control_id)) return false;
  Window& window = found->second;
  QWidget* widget = MakeControl(control_id, kind, ToQt(text), window.container);
  widget->setGeometry(x, y, width, height);
  if (widget->focusPolicy() & Qt::TabFocus) {
    if (window.last_focusable != nullptr) QWidget::setTabOrder(window.last_focusable, widget);
    window.last_focusable = widget;
  }
  controls_[control_id] = Control{widget, window_id};
  // Controls made after the window was shown would otherwise stay hidden.
  widget->show();
  return true;
}

QWidget* QtWindowSystem::MakeControl(int control_id, ControlKind kind, const QString& text, QWidget* parent) {
  const auto notify = [this, control_id] { Queue(UiEvent::Kind::kControl, control_id); };
  switch (kind) {
    case ControlKind::kLabel:
      return MakeLabel(text, Qt::AlignLeft | Qt::AlignTop, parent);
    case ControlKind::kCentredLabel: {
      QLabel* label = MakeLabel(text, Qt::AlignHCenter | Qt::AlignTop, parent);
      label->setWordWrap(true);
      return label;
    }
    case ControlKind::kButton: {
      auto* button = new QPushButton(text, parent);
      QObject::connect(button, &QPushButton::clicked, button, notify);
      return button;
    }
    case ControlKind::kCheckBox: {
      auto* box = new QCheckBox(text, parent);
      // toggled, not clicked: a screen reader's toggle action flips the box
      // without a click. SetChecked blocks it.
      QObject::connect(box, &QCheckBox::toggled, box, notify);
      return box;
    }
    case ControlKind::kRadioButton: {
      // Qt keeps one of a page's radio buttons chosen; only the chosen one tells.
      auto* button = new QRadioButton(text, parent);
      QObject::connect(button, &QRadioButton::toggled, button, [notify](bool on) {
        if (on) notify();
      });
      return button;
    }
    case ControlKind::kNumberField:
      return MakeTypedField(text, QStringLiteral("[0-9]*"), 4, notify, parent);
    case ControlKind::kTextField:
      return MakeTypedField(text, QStringLiteral("[A-Za-z, ]*"), 0, notify, parent);
    case ControlKind::kDropDownList: {
      auto* list = new NotifyingComboBox(notify, parent);
      list->setEditable(false);
      QObject::connect(list, &QComboBox::activated, list, notify);
      return list;
    }
    case ControlKind::kReadOnlyField: {
      auto* field = new QLineEdit(text, parent);
      field->setReadOnly(true);
      field->setCursorPosition(0);
      return field;
    }
    case ControlKind::kTabPanel:
      return new QTabWidget(parent);
    case ControlKind::kProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, kProgressMaximum);
      bar->setValue(0);
      bar->setTextVisible(false);
      return bar;
    }
    case ControlKind::kListBox: {
      // Up and down only: a line wider than the box is cut at its right edge.
      auto* box = new QListWidget(parent);
      box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      box->setTextElideMode(Qt::ElideNone);
      box->setWordWrap(false);
      // Every line is one line of one font, so every row is as tall as the
      // first: the list need not measure each text again at every layout,
      // which would cost a moment per row held each time a line comes. Rows
      // still reach across the whole box.
      box->setUniformItemSizes(true);
      return box;
    }
  }
  return MakeLabel(text, Qt::AlignLeft | Qt::AlignTop, parent);
}

void QtWindowSystem::AddTab(int panel_id, const std::string& title) {
  auto* panel = As<QTabWidget>(panel_id);
  if (panel == nullptr) return;
  auto* page = new QWidget;
  panel->addTab(page, ToQt(title));
  windows_[controls_[panel_id].window_id].container = page;
}

void QtWindowSystem::CloseTabPanel(int panel_id) {
  if (As<QTabWidget>(panel_id) == nullptr) return;
  Window& window = windows_[controls_[panel_id].window_id];
  window.container = window.widget.get();
}

void QtWindowSystem::SetFont(int control_id, FontId font) {
  if (QWidget* widget = ControlWidget(control_id)) widget->setFont(MakeFont(font));
}

void QtWindowSystem::SetLabelFor(int label_id, int control_id) {
  auto* label = As<QLabel>(label_id);
  QWidget* control = ControlWidget(control_id);
  if (label == nullptr || control == nullptr) return;
  label->setBuddy(control);
  // A drop-down list would otherwise be named after its current item.
  control->setAccessibleName(WithoutMnemonic(label->text()));
}

void QtWindowSystem::SetText(int control_id, const std::string& text) {
  const QString value = ToQt(text);
  if (auto* label = As<QLabel>(control_id)) {
    label->setText(value);
    if (QWidget* buddy = label->buddy()) buddy->setAccessibleName(WithoutMnemonic(value));
  } else if (auto* button = As<QAbstractButton>(control_id)) {
    button->setText(value);
  } else if (auto* field = As<QLineEdit>(control_id)) {
    field->setText(value);
    // The start of a long path says more than its end.
    field->setCursorPosition(0);
  } else if (auto* list = As<QComboBox>(control_id)) {
    const int index = list->findText(value, Qt::MatchExactly);
    if (index >= 0) list->setCurrentIndex(index);
  }
}

std::string QtWindowSystem::GetText(int control_id) {
  if (const auto* label = As<QLabel>(control_id)) return label->text().toStdString();
  if (const auto* button = As<QAbstractButton>(control_id)) return button->text().toStdString();
  if (const auto* field = As<QLineEdit>(control_id)) return field->text().toStdString();
  if (const auto* list = As<QComboBox>(control_id)) return list->currentText().toStdString();
  return {};
}

void QtWindowSystem::Enable(int control_id, bool enabled) {
  if (QWidget* widget = ControlWidget(control_id)) widget->setEnabled(enabled);
}

bool QtWindowSystem::IsEnabled(int control_id) {
  const QWidget* widget = ControlWidget(control_id);
  return widget != nullptr && widget->isEnabled();
}

void QtWindowSystem::SetChecked(int control_id, bool checked) {
  if (auto* box = As<QAbstractButton>(control_id); box != nullptr && box->isCheckable()) {
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
  }
}

bool QtWindowSystem::IsChecked(int control_id) {
  const auto* box = As<QAbstractButton>(control_id);
  return box != nullptr && box->isChecked();
}

void QtWindowSystem::SetProgress(int control_id, int value) {
  // QProgressBar ignores a value outside its range instead of stopping at the end.
  if (auto* bar = As<QProgressBar>(control_id)) bar->setValue(std::clamp(value, 0, kProgressMaximum));
}

void QtWindowSystem::ClearItems(int control_id) {
  if (auto* list = As<QComboBox>(control_id)) list->clear();
  if (auto* box = As<QListWidget>(control_id)) box->clear();
}

void QtWindowSystem::AppendItem(int control_id, const std::string& text) {
  if (auto* list = As<QComboBox>(control_id)) list->addItem(ToQt(text));
  if (auto* box = As<QListWidget>(control_id)) box->addItem(ToQt(text));
}

void QtWindowSystem::InsertItemAtTop(int control_id, const std::string& text) {
  if (auto* list = As<QComboBox>(control_id)) list->insertItem(0, ToQt(text));
  if (auto* box = As<QListWidget>(control_id)) box->insertItem(0, ToQt(text));
}

void QtWindowSystem::RemoveItem(int control_id, int index) {
  if (auto* list = As<QComboBox>(control_id)) list->removeItem(index);
  if (auto* box = As<QListWidget>(control_id)) delete box->takeItem(index);
}

int QtWindowSystem::ItemCount(int control_id) {
  if (const auto* list = As<QComboBox>(control_id)) return list->count();
  if (const auto* box = As<QListWidget>(control_id)) return box->count();
  return 0;
}

std::string QtWindowSystem::ItemText(int control_id, int index) {
  if (const auto* list = As<QComboBox>(control_id)) return list->itemText(index).toStdString();
  if (const auto* box = As<QListWidget>(control_id)) {
    const QListWidgetItem* item = box->item(index);
    return item != nullptr ? item->text().toStdString() : std::string();
  }
  return {};
}

void QtWindowSystem::SelectItem(int control_id, int index) {
  if (auto* list = As<QComboBox>(control_id)) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
  }
  if (auto* box = As<QListWidget>(control_id))
    box->setCurrentRow(index >= 0 && index < box->count() ? index : -1);
}

int QtWindowSystem::SelectedItem(int control_id) {
  if (const auto* list = As<QComboBox>(control_id)) return list->currentIndex();
  if (const auto* box = As<QListWidget>(control_id)) return box->currentRow();
  return -1;
}

std::optional<UiEvent> QtWindowSystem::TakeEvent() {
  if (events_.empty()) return std::nullopt;
  const UiEvent event = events_.front();
  events_.pop_front();
  return event;
}

void QtWindowSystem::SetWindowIcon(const QIcon& icon) {
  icon_ = icon;
  for (auto& [id, window] : windows_) window.widget->setWindowIcon(icon);
}

QWidget* QtWindowSystem::ActiveAppWindow() const {
  const QWidget* active = QApplication::activeWindow();
  for (const auto& [id, window] : windows_) {
    if (window.widget.get() == active) return window.widget.get();
  }
  return nullptr;
}

QWidget* QtWindowSystem::WindowWidget(int window_id) const {
  const auto found = windows_.find(window_id);
  return found != windows_.end() ? found->second.widget.get() : nullptr;
}

QWidget* QtWindowSystem::ControlWidget(int control_id) const {
  const Control* control = Find(control_id);
  return control != nullptr ? control->widget : nullptr;
}

QImage QtWindowSystem::Grab(int window_id) const {
  QWidget* widget = WindowWidget(window_id);
  return widget != nullptr ? widget->grab().toImage() : QImage();
}

bool QtWindowSystem::SaveScreenshot(int window_id, const std::string& png_path) const {
  const QImage image = Grab(window_id);
  return !image.isNull() && image.save(ToQt(png_path), "PNG");
}

QPoint QtWindowSystem::Placement(WindowPlacement placement, QSize client_size) const {
  const QSize outer = client_size + FrameExtra();
  if (placement == WindowPlacement::kOverActiveWindow) {
    const QWidget* active = ActiveAppWindow();
    if (active == nullptr) return kDefaultWindowCorner;
    const QRect over = active->frameGeometry();
    return {std::max(0, over.left() + (over.width() - outer.width()) / 2),
            std::max(0, over.top() + (over.height() - outer.height()) / 2)};
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {0, 0};
  const QRect area = screen->availableGeometry();
  const QSize limited = outer.boundedTo(area.size());
  return {area.left() + (area.width() - limited.width()) / 2,
          area.top() + (area.height() - limited.height()) / 2};
}

QSize QtWindowSystem::FrameExtra() const {
  // A window's frame is known only once it is on screen; the program's
  // windows all wear the same one.
  const QWidget* known = ActiveAppWindow();
  for (auto it = windows_.begin(); known == nullptr && it != windows_.end(); ++it) {
    if (it->second.widget->isVisible()) known = it->second.widget.get();
  }
  return known != nullptr ? known->frameGeometry().size() - known->size() : QSize(0, 0);
}

const QtWindowSystem::Control* QtWindowSystem::Find(int control_id) const {
  const auto found = controls_.find(control_id);
  return found != controls_.end() ? &found->second : nullptr;
}

template <typename T>
T* QtWindowSystem::As(int control_id) const {
  const Control* control = Find(control_id);
  return control != nullptr ? qobject_cast<T*>(control->widget) : nullptr;
}

void QtWindowSystem::Queue(UiEvent::Kind kind, int id) {
  events_.push_back(UiEvent{kind, id});
  if (on_queued_) on_queued_();
}

}  // namespace ripwarden::qt_platform
