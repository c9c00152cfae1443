// The settings window's tabs: each tab's page is a window of its own, shown
// while its tab is chosen.
#include "platform/win32/win32_window_system.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "platform/win32/win32_text.h"

namespace ripwarden::win32_platform {

void Win32WindowSystem::AddTab(int panel_id, const std::string& title) {
  const Control* panel = Find(panel_id, ControlKind::kTabPanel);
  if (panel == nullptr || page_class_ == 0) return;
  Window& window = windows_[panel->window_id];
  std::wstring text = Wide(title);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  std::vector<HWND>& pages = pages_[panel->handle];
  const int index = static_cast<int>(pages.size());
  if (::SendMessageW(panel->handle, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item)) < 0) return;
  // The page is the panel's sibling, next after it (and after the pages
  // before it), so that Tab goes from the panel into the page shown.
  HWND page =
      ::CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | (index == 0 ? WS_VISIBLE : 0), 0, 0,
                        0, 0, panel->parent, nullptr, instance_, this);
  if (page == nullptr) return;
  HWND after = pages.empty() ? panel->handle : pages.back();
  ::SetWindowPos(page, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // Labels and boxes drawn over the panel's own themed background.
  ::EnableThemeDialogTexture(page, ETDT_ENABLETAB);
  pages.push_back(page);
  window.container = page;
  LayPages(panel->handle, window.dpi);
}

RECT Win32WindowSystem::PageArea(HWND panel, UINT dpi) const {
  RECT client{};
  ::GetClientRect(panel, &client);
  RECT row{};
  if (!::SendMessageW(panel, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row))) row.bottom = 0;
  RECT page{Scale(2, dpi), row.bottom + Scale(4, dpi), client.right - Scale(2, dpi),
            client.bottom - Scale(2, dpi)};
  // Where a page lies, the panel is not drawn: it would otherwise paint over
  // the page, which comes after it.
  RECT outer{};
  ::GetWindowRect(panel, &outer);
  POINT origin{0, 0};
  ::ClientToScreen(panel, &origin);
  const int dx = origin.x - outer.left;
  const int dy = origin.y - outer.top;
  HRGN shape = ::CreateRectRgn(0, 0, outer.right - outer.left, outer.bottom - outer.top);
  HRGN hole = ::CreateRectRgn(page.left + dx, page.top + dy, page.right + dx, page.bottom + dy);
  ::CombineRgn(shape, shape, hole, RGN_DIFF);
  ::DeleteObject(hole);
  ::SetWindowRgn(panel, shape, TRUE);  // the system owns the region now
  ::MapWindowPoints(panel, ::GetParent(panel), reinterpret_cast<POINT*>(&page), 2);
  return page;
}

void Win32WindowSystem::CloseTabPanel(int panel_id) {
  const Control* panel = Find(panel_id, ControlKind::kTabPanel);
  if (panel == nullptr) return;
  Window& window = windows_[panel->window_id];
  window.container = window.handle;
}

void Win32WindowSystem::OnTabChanged(HWND panel) {
  const auto found = pages_.find(panel);
  if (found == pages_.end()) return;
  const int shown = static_cast<int>(::SendMessageW(panel, TCM_GETCURSEL, 0, 0));
  for (std::size_t i = 0; i < found->second.size(); ++i) {
    ::ShowWindow(found->second[i], static_cast<int>(i) == shown ? SW_SHOWNA : SW_HIDE);
  }
}

void Win32WindowSystem::LayPages(HWND panel, UINT dpi) {
  const auto found = pages_.find(panel);
  if (found == pages_.end()) return;
  const RECT area = PageArea(panel, dpi);
  for (HWND page : found->second) {
    ::SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace ripwarden::win32_platform
