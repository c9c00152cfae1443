#pragma once

#include <optional>
#include <string>

namespace ripwarden {

// The kinds of control the windows are made of.
enum class ControlKind {
  kLabel,          // static text, left-aligned, not focusable
  kCentredLabel,   // static text, centred, wrapping at word boundaries
  kButton,         // push button
  kCheckBox,       // a click toggles it
  kDropDownList,   // pick one of a list of texts; no typing
  kReadOnlyField,  // one line of text the user can select but not change
  kTabPanel,       // tabs, each with a page for the controls created after it
  kProgressBar,    // 0 to 10000
  kListBox,        // lines of text, scrolling up and down but never sideways
  kRadioButton,    // one of the run of them made one after another: choosing it clears the rest
  kNumberField,    // one line of digits the user types, at most four
  kTextField,      // one line of text the user types
};

enum class FontId { kRegular, kSmall, kBold };

// Where a new window goes.
enum class WindowPlacement {
  // Centred over the program's active window, else top-left at (449, 185).
  kOverActiveWindow,
  kCentredOnScreen,
};

// Something the user did that the main loop hands on, one at a time.
struct UiEvent {
  enum class Kind {
    kControl,         // a button was clicked, a drop-down list notified, or the user edited a field
    kClose,           // the close box of a window was used; the window stays as it is
    kMenu,            // an entry of the tray menu was chosen
    kTrayActivated,   // the tray icon was activated (clicked or double-clicked)
    kBalloonClicked,  // a balloon shown from the tray icon was clicked
  };
  Kind kind = Kind::kControl;
  int id = 0;  // the control id, the window id for kClose, the entry id for kMenu
};

// Windows built the classic way: a window by number, controls by id, kind,
// text, position and size, and afterwards small operations on a control by
// its id. Every operation on a window or control that was not created does
// nothing (and reads as empty).
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // A fixed-size window with a close and a minimise box, created hidden.
  // False when the window could not be made.
  virtual bool CreateAppWindow(int window_id, const std::string& title, int client_width, int client_height,
                               WindowPlacement placement) = 0;
  // Shows a window in its previous minimised or normal state.
  virtual void ShowAppWindow(int window_id) = 0;
  virtual void HideAppWindow(int window_id) = 0;
  virtual void BringToFront(int window_id) = 0;
  virtual bool IsWindowVisible(int window_id) = 0;

  // Geometry is in the window's (or the current tab page's) coordinates.
  virtual bool CreateControl(int window_id, int control_id, ControlKind kind, const std::string& text, int x,
                             int y, int width, int height) = 0;
  // Adds a tab to a tab panel; controls created afterwards go on its page.
  virtual void AddTab(int panel_id, const std::string& title) = 0;
  // Later controls go on the window itself again.
  virtual void CloseTabPanel(int panel_id) = 0;
  virtual void SetFont(int control_id, FontId font) = 0;
  // Names control after the label beside it, for screen readers and for
  // anything that finds controls by their label.
  virtual void SetLabelFor(int label_id, int control_id) = 0;

  virtual void SetText(int control_id, const std::string& text) = 0;
  virtual std::string GetText(int control_id) = 0;
  virtual void Enable(int control_id, bool enabled) = 0;
  virtual bool IsEnabled(int control_id) = 0;
  virtual void SetChecked(int control_id, bool checked) = 0;
  virtual bool IsChecked(int control_id) = 0;
  virtual void SetProgress(int control_id, int value) = 0;

  // Lists: drop-down lists and list boxes.
  virtual void ClearItems(int control_id) = 0;
  virtual void AppendItem(int control_id, const std::string& text) = 0;
  virtual void InsertItemAtTop(int control_id, const std::string& text) = 0;
  // Nothing for an index that holds no item.
  virtual void RemoveItem(int control_id, int index) = 0;
  virtual int ItemCount(int control_id) = 0;
  virtual std::string ItemText(int control_id, int index) = 0;
  // -1 selects nothing.
  virtual void SelectItem(int control_id, int index) = 0;
  virtual int SelectedItem(int control_id) = 0;

  // The next thing the user did, if any; never waits.
  virtual std::optional<UiEvent> TakeEvent() = 0;
};

// The platform's folder chooser. Returns the chosen folder's path, or the
// empty text when the user cancelled.
class FolderDialog {
 public:
  virtual ~FolderDialog() = default;
  virtual std::string PickFolder(const std::string& title, const std::string& initial_folder) = 0;
};

}  // namespace ripwarden
