#pragma once

#include <QIcon>
#include <QImage>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/window_system.h"

class QString;
class QWidget;

namespace ripwarden::qt_platform {

// The program's windows as Qt Widgets. Needs a QApplication, which it does
// not own; it owns every window it makes and the controls in them.
class QtWindowSystem final : public WindowSystem {
 public:
  QtWindowSystem();
  ~QtWindowSystem() override;
  QtWindowSystem(const QtWindowSystem&) = delete;
  QtWindowSystem& operator=(const QtWindowSystem&) = delete;

  bool CreateAppWindow(int window_id, const std::string& title, int client_width, int client_height,
                       WindowPlacement placement) override;
  void ShowAppWindow(int window_id) override;
  void HideAppWindow(int window_id) override;
  void BringToFront(int window_id) override;
  bool IsWindowVisible(int window_id) override;

  bool CreateControl(int window_id, int control_id, ControlKind kind, const std::string& text, int x, int y,
                     int width, int height) override;
  void AddTab(int panel_id, const std::string& title) override;
  void CloseTabPanel(int panel_id) override;
  void SetFont(int control_id, FontId font) override;
  void SetLabelFor(int label_id, int control_id) override;

  void SetText(int control_id, const std::string& text) override;
  std::string GetText(int control_id) override;
  void Enable(int control_id, bool enabled) override;
  bool IsEnabled(int control_id) override;
  void SetChecked(int control_id, bool checked) override;
  bool IsChecked(int control_id) override;
  void SetProgress(int control_id, int value) override;

  void ClearItems(int control_id) override;
  void AppendItem(int control_id, const std::string& text) override;
  void InsertItemAtTop(int control_id, const std::string& text) override;
  void RemoveItem(int control_id, int index) override;
  int ItemCount(int control_id) override;
  std::string ItemText(int control_id, int index) override;
  void SelectItem(int control_id, int index) override;
  int SelectedItem(int control_id) override;

  std::optional<UiEvent> TakeEvent() override;

  // The program's icon, on the windows made so far and those made later.
  void SetWindowIcon(const QIcon& icon);
  // The one of this program's windows that is active, if any: the parent
  // for dialogs.
  QWidget* ActiveAppWindow() const;
  // The widgets behind the numbers, or null.
  QWidget* WindowWidget(int window_id) const;
  QWidget* ControlWidget(int control_id) const;
  // What the window looks like now, drawn even while hidden; null when
  // there is no such window.
  QImage Grab(int window_id) const;
  bool SaveScreenshot(int window_id, const std::string& png_path) const;
  // Called whenever an event is queued, so that the loop can wake for it.
  void SetEventQueuedHandler(std::function<void()> handler) { on_queued_ = std::move(handler); }
  bool HasEvents() const { return !events_.empty(); }

 private:
  struct Window {
    std::unique_ptr<QWidget> widget;
    QWidget* container = nullptr;       // where new controls go: the window or a tab page
    QWidget* last_focusable = nullptr;  // the control that Tab leaves for the next one made
  };
  struct Control {
    QWidget* widget = nullptr;
    int window_id = 0;
  };

  QWidget* MakeControl(int control_id, ControlKind kind, const QString& text, QWidget* parent);
  // The top-left corner of a new window's frame.
  QPoint Placement(WindowPlacement placement, QSize client_size) const;
  // How much bigger than its client area a window is, as far as is known.
  QSize FrameExtra() const;
  const Control* Find(int control_id) const;
  template <typename T>
  T* As(int control_id) const;
  void Queue(UiEvent::Kind kind, int id);

  // Declared before the windows so that it outlives them: a window being
  // taken down may still report.
  std::deque<UiEvent> events_;
  std::function<void()> on_queued_;
  QIcon icon_;
  std::map<int, Control> controls_;
  std::map<int, Window> windows_;
};

}  // namespace ripwarden::qt_platform
