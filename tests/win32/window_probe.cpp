// Looks at (and presses) the windows of another program, for the tests that
// start Ripwarden.exe as a user would. A console program:
//   window_probe wait <title> <seconds>            a window with this title exists
//   window_probe text <title> <control id>         prints the control's text
//   window_probe wait-text <title> <id> <text> <seconds>
//   window_probe press <title> <button id>         as a click on the button
// Exit code 0 on success, 1 when the window or control never came.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/win32_text.h"

namespace {

using ripwarden::win32_platform::Utf8;
using ripwarden::win32_platform::Wide;

struct Search {
  int id;
  HWND found;
};

BOOL CALLBACK MatchId(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  if (::GetDlgCtrlID(child) != search->id) return TRUE;
  search->found = child;
  return FALSE;
}

HWND Control(HWND window, int id) {
  Search search{id, nullptr};
  ::EnumChildWindows(window, &MatchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(const std::wstring& title, int seconds) {
  for (int i = 0; i <= seconds * 10; ++i) {
    if (HWND window = ::FindWindowW(nullptr, title.c_str())) return window;
    ::Sleep(100);
  }
  return nullptr;
}

std::string Text(HWND control) {
  wchar_t text[1024] = {};
  // WM_GETTEXT reaches another process's control with its text copied back.
  ::SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
  return Utf8(text);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string command = argv[1];
  const std::wstring title = Wide(argv[2]);
  if (command == "wait") return WaitForWindow(title, std::atoi(argv[3])) != nullptr ? 0 : 1;
  HWND window = WaitForWindow(title, 10);
  if (window == nullptr) return 1;
  HWND control = Control(window, std::atoi(argv[3]));
  if (control == nullptr) return 1;
  if (command == "text") {
    std::printf("%s\n", Text(control).c_str());
    return 0;
  }
  if (command == "press") {
    ::PostMessageW(::GetParent(control), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                   reinterpret_cast<LPARAM>(control));
    return 0;
  }
  if (command == "wait-text" && argc >= 6) {
    const std::string wanted = argv[4];
    std::string seen;
    for (int i = 0; i <= std::atoi(argv[5]) * 10; ++i) {
      seen = Text(control);
      if (seen == wanted) return 0;
      ::Sleep(100);
    }
    std::fprintf(stderr, "last seen: %s\n", seen.c_str());
    return 1;
  }
  return 2;
}
