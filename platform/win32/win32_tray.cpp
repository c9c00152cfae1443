#include "platform/win32/win32_tray.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {
namespace {

template <typename Function>
Function Lookup(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

// Copies text into a fixed field, cut to at most limit units and never
// between the two halves of a character outside the basic plane.
template <std::size_t N>
void CopyCut(wchar_t (&field)[N], const std::string& text, std::size_t limit) {
  const std::wstring wide = Wide(text);
  std::size_t length = std::min({wide.size(), limit, N - 1});
  if (length < wide.size() && length > 0 && wide[length - 1] >= 0xD800 && wide[length - 1] <= 0xDBFF)
    --length;
  wide.copy(field, length);
  field[length] = L'\0';
}

}  // namespace

DWORD TrayRecordSize(int shell_major_version) {
  if (shell_major_version >= 6) return NOTIFYICONDATAW_V3_SIZE;
  if (shell_major_version == 5) return NOTIFYICONDATAW_V2_SIZE;
  return NOTIFYICONDATAW_V1_SIZE;
}

int ShellMajorVersion() {
  HMODULE version = ::LoadLibraryW(L"version.dll");
  if (version == nullptr) return 0;
  using SizeCall = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoCall = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryCall = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  const auto size_of = Lookup<SizeCall>(version, "GetFileVersionInfoSizeW");
  const auto info_of = Lookup<InfoCall>(version, "GetFileVersionInfoW");
  const auto query = Lookup<QueryCall>(version, "VerQueryValueW");
  int major = 0;
  DWORD ignored = 0;
  const DWORD size = size_of != nullptr ? size_of(L"shell32.dll", &ignored) : 0;
  if (size > 0 && info_of != nullptr && query != nullptr) {
    std::vector<unsigned char> block(size);
    void* fixed = nullptr;
    UINT fixed_size = 0;
    if (info_of(L"shell32.dll", 0, size, block.data()) && query(block.data(), L"\\", &fixed, &fixed_size) &&
        fixed != nullptr && fixed_size >= sizeof(VS_FIXEDFILEINFO)) {
      major = HIWORD(static_cast<const VS_FIXEDFILEINFO*>(fixed)->dwFileVersionMS);
    }
  }
  ::FreeLibrary(version);
  return major;
}

NOTIFYICONDATAW TrayRecord(DWORD size, HWND owner, HICON icon, const std::string& tip) {
  NOTIFYICONDATAW record{};
  record.cbSize = size;
  record.hWnd = owner;
  record.uID = kTrayIconId;
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = icon;
  CopyCut(record.szTip, tip, size == NOTIFYICONDATAW_V1_SIZE ? 63 : 127);
  return record;
}

NOTIFYICONDATAW BalloonRecord(DWORD size, HWND owner, HICON icon, const std::string& tip,
                              const std::string& title, const std::string& text, BalloonIcon kind) {
  NOTIFYICONDATAW record = TrayRecord(size, owner, icon, tip);
  record.uFlags |= NIF_INFO;
  record.uTimeout = 3;  // the shell holds a balloon for its own least time
  record.dwInfoFlags = kind == BalloonIcon::kError ? NIIF_ERROR : NIIF_INFO;
  // The first record ends before the balloon's fields.
  if (size != NOTIFYICONDATAW_V1_SIZE) {
    CopyCut(record.szInfo, text, 255);
    CopyCut(record.szInfoTitle, title, 63);
  }
  return record;
}

Win32Tray::Win32Tray(Win32WindowSystem& windows, int owner_window_id, ShellCall shell)
    : windows_(windows), owner_window_id_(owner_window_id), shell_(std::move(shell)) {
  if (!shell_) {
    shell_library_ = ::LoadLibraryW(L"shell32.dll");
    using NotifyCall = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);
    if (const auto notify = Lookup<NotifyCall>(shell_library_, "Shell_NotifyIconW")) {
      shell_ = [notify](DWORD message, NOTIFYICONDATAW* record) { return notify(message, record); };
    }
  }
  icon_ = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                          ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                          LR_SHARED));
  // Explorer says so when it starts again: the icon is then to be added anew.
  taskbar_created_ = ::RegisterWindowMessageW(L"TaskbarCreated");
  menu_ = ::CreatePopupMenu();
  if (menu_ != nullptr) open_menus_.push_back(menu_);
  windows_.AddMessageFilter(this);
}

Win32Tray::~Win32Tray() {
  windows_.RemoveMessageFilter(this);
  if (menu_ != nullptr) ::DestroyMenu(menu_);
  if (shell_library_ != nullptr) ::FreeLibrary(shell_library_);
}

bool Win32Tray::Call(DWORD message, NOTIFYICONDATAW& record) { return shell_ && shell_(message, &record); }

bool Win32Tray::AddTrayIcon(const std::string& tip) {
  HWND owner = Owner();
  if (owner == nullptr || !shell_) return false;
  tip_ = tip;
  wanted_ = true;
  // Above an elevated program's barrier, Explorer's notice would not reach us.
  ::ChangeWindowMessageFilterEx(owner, taskbar_created_, MSGFLT_ALLOW, nullptr);
  NOTIFYICONDATAW record = TrayRecord(TrayRecordSize(ShellMajorVersion()), owner, icon_, tip_);
  // Without a taskbar yet (a start at logon, before Explorer) the icon comes
  // with Explorer's notice; meanwhile the program shows its window.
  return Call(NIM_ADD, record);
}

void Win32Tray::RemoveTrayIcon() {
  if (!wanted_) return;
  wanted_ = false;
  NOTIFYICONDATAW record{};
  record.cbSize = TrayRecordSize(ShellMajorVersion());
  record.hWnd = Owner();
  record.uID = kTrayIconId;
  Call(NIM_DELETE, record);
}

void Win32Tray::AddMenuItem(int item_id, const std::string& text) {
  if (open_menus_.empty()) return;
  ::AppendMenuW(open_menus_.back(), MF_STRING, static_cast<UINT_PTR>(item_id), Wide(text).c_str());
}

void Win32Tray::AddMenuSeparator() {
  if (!open_menus_.empty()) ::AppendMenuW(open_menus_.back(), MF_SEPARATOR, 0, nullptr);
}

void Win32Tray::BeginSubmenu(const std::string& text) {
  if (open_menus_.empty()) return;
  HMENU submenu = ::CreatePopupMenu();
  if (submenu == nullptr) return;
  ::AppendMenuW(open_menus_.back(), MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), Wide(text).c_str());
  open_menus_.push_back(submenu);
}

void Win32Tray::EndSubmenu() {
  if (open_menus_.size() > 1) open_menus_.pop_back();
}

void Win32Tray::ClearMenu() {
  // Its submenus go with it.
  if (menu_ != nullptr) ::DestroyMenu(menu_);
  open_menus_.clear();
  menu_ = ::CreatePopupMenu();
  if (menu_ != nullptr) open_menus_.push_back(menu_);
}

void Win32Tray::SetItemGreyed(int item_id, bool greyed) {
  // By command: found in the submenu too.
  if (menu_ != nullptr) {
    ::EnableMenuItem(menu_, static_cast<UINT>(item_id), MF_BYCOMMAND | (greyed ? MF_GRAYED : MF_ENABLED));
  }
}

void Win32Tray::ShowBalloon(const std::string& title, const std::string& text, const std::string& tip,
                            BalloonIcon icon) {
  HWND owner = Owner();
  if (owner == nullptr) return;
  NOTIFYICONDATAW record =
      BalloonRecord(TrayRecordSize(ShellMajorVersion()), owner, icon_, tip, title, text, icon);
  Call(NIM_MODIFY, record);
}

std::optional<UiEvent> Win32Tray::TakeEvent() {
  if (events_.empty()) return std::nullopt;
  const UiEvent event = events_.front();
  events_.pop_front();
  return event;
}

bool Win32Tray::OnWindowMessage(HWND window, UINT message, WPARAM, LPARAM lparam, LRESULT* result) {
  if (window == nullptr || window != Owner()) return false;
  if (message == taskbar_created_ && taskbar_created_ != 0) {
    if (wanted_) {
      NOTIFYICONDATAW record = TrayRecord(TrayRecordSize(ShellMajorVersion()), window, icon_, tip_);
      Call(NIM_ADD, record);
    }
    return false;
  }
  if (message != kTrayCallbackMessage) return false;
  switch (LOWORD(lparam)) {
    case WM_LBUTTONDBLCLK:
      events_.push_back({UiEvent::Kind::kTrayActivated, 0});
      break;
    case NIN_BALLOONUSERCLICK:
      events_.push_back({UiEvent::Kind::kBalloonClicked, 0});
      break;
    case WM_RBUTTONDOWN:
      ShowMenu();
      break;
    default:
      break;
  }
  *result = 0;
  return true;
}

void Win32Tray::ShowMenu() {
  HWND owner = Owner();
  if (menu_ == nullptr || owner == nullptr) return;
  POINT at{};
  ::GetCursorPos(&at);
  // Without the foreground the menu would not close when the user clicks
  // elsewhere.
  ::SetForegroundWindow(owner);
  const int chosen = static_cast<int>(::TrackPopupMenu(menu_, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                       at.x - 1, at.y - 1, 0, owner, nullptr));
  ::PostMessageW(owner, WM_NULL, 0, 0);
  if (chosen != 0) events_.push_back({UiEvent::Kind::kMenu, chosen});
}

}  // namespace ripwarden::win32_platform
