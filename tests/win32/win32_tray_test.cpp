// The notify-icon records handed to the shell, and the icon's messages.
#include <gtest/gtest.h>

#include "win32/win32_fixture.h"

namespace ripwarden::testing {
namespace {

using win32_platform::BalloonRecord;
using win32_platform::TrayRecordSize;

TEST(TrayRecordTest, TheShellsVersionChoosesTheRecord) {
  EXPECT_EQ(TrayRecordSize(0), NOTIFYICONDATAW_V1_SIZE);
  EXPECT_EQ(TrayRecordSize(4), NOTIFYICONDATAW_V1_SIZE);
  EXPECT_EQ(TrayRecordSize(5), NOTIFYICONDATAW_V2_SIZE);
  EXPECT_EQ(TrayRecordSize(6), NOTIFYICONDATAW_V3_SIZE);
  // Windows 10 and 11 report 10: still a shell with balloons.
  EXPECT_EQ(TrayRecordSize(10), NOTIFYICONDATAW_V3_SIZE);
  EXPECT_LT(NOTIFYICONDATAW_V1_SIZE, NOTIFYICONDATAW_V2_SIZE);
  EXPECT_LT(NOTIFYICONDATAW_V2_SIZE, NOTIFYICONDATAW_V3_SIZE);
  EXPECT_GE(win32_platform::ShellMajorVersion(), 5);
}

TEST(TrayRecordTest, TextsAreCutToTheirFieldsInWholeCharacters) {
  const std::string tip(200, 't');
  const std::string title(70, 'T');
  const std::string text(300, 'x');
  const NOTIFYICONDATAW full =
      BalloonRecord(NOTIFYICONDATAW_V3_SIZE, nullptr, nullptr, tip, title, text, BalloonIcon::kError);
  EXPECT_EQ(full.cbSize, NOTIFYICONDATAW_V3_SIZE);
  EXPECT_EQ(full.uID, 37u);
  EXPECT_EQ(full.uCallbackMessage, 1024u);
  EXPECT_EQ(full.uFlags, 0x17u);
  EXPECT_EQ(full.dwInfoFlags, static_cast<DWORD>(NIIF_ERROR));
  EXPECT_EQ(std::wcslen(full.szTip), 127u);
  EXPECT_EQ(std::wcslen(full.szInfoTitle), 63u);
  EXPECT_EQ(std::wcslen(full.szInfo), 255u);

  // The first record has a 64-character tip and no balloon at all.
  const NOTIFYICONDATAW first =
      BalloonRecord(NOTIFYICONDATAW_V1_SIZE, nullptr, nullptr, tip, title, text, BalloonIcon::kInformation);
  EXPECT_EQ(std::wcslen(first.szTip), 63u);
  EXPECT_EQ(first.szInfo[0], L'\0');
  EXPECT_EQ(first.szInfoTitle[0], L'\0');

  // A character beyond the basic plane is two units: it is kept whole or left out.
  const std::string long_title = std::string(62, 'T') + "\xF0\x9F\x8E\xAC";
  const NOTIFYICONDATAW cut = BalloonRecord(NOTIFYICONDATAW_V3_SIZE, nullptr, nullptr, "Ripwarden",
                                            long_title, "é", BalloonIcon::kInformation);
  EXPECT_EQ(win32_platform::Utf8(cut.szInfoTitle), std::string(62, 'T'));
  EXPECT_EQ(win32_platform::Utf8(cut.szInfo), "é");
}

TEST_F(Win32WindowsTest, TheIconIsAddedOnTheProgressWindowAndAgainWhenExplorerRestarts) {
  Start();
  ASSERT_EQ(shell_calls_.size(), 1u);
  const auto& [message, added] = shell_calls_[0];
  EXPECT_EQ(message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(added.hWnd, windows_.WindowHandle(kProgressWindow));
  EXPECT_EQ(added.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_NE(added.hIcon, nullptr);
  EXPECT_STREQ(added.szTip, L"Ripwarden");

  const UINT taskbar_created = ::RegisterWindowMessageW(L"TaskbarCreated");
  ::SendMessageW(windows_.WindowHandle(kProgressWindow), taskbar_created, 0, 0);
  ASSERT_EQ(shell_calls_.size(), 2u);
  EXPECT_EQ(shell_calls_[1].first, static_cast<DWORD>(NIM_ADD));

  tray_.ShowBalloon("DVD Rip Failed", "The DVD was either ejected mid-rip or could no longer be accessed.",
                    "Ripwarden", BalloonIcon::kError);
  ASSERT_EQ(shell_calls_.size(), 3u);
  EXPECT_EQ(shell_calls_[2].first, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_STREQ(shell_calls_[2].second.szInfoTitle, L"DVD Rip Failed");

  tray_.RemoveTrayIcon();
  ASSERT_EQ(shell_calls_.size(), 4u);
  EXPECT_EQ(shell_calls_[3].first, static_cast<DWORD>(NIM_DELETE));
  // A removed icon stays away.
  ::SendMessageW(windows_.WindowHandle(kProgressWindow), taskbar_created, 0, 0);
  EXPECT_EQ(shell_calls_.size(), 4u);
}

TEST_F(Win32WindowsTest, ADoubleClickOrABalloonClickShowsTheProgressWindow) {
  settings_.WriteSetting("Other", "StartMinimised", "1");
  Start();
  HWND progress = windows_.WindowHandle(kProgressWindow);
  ASSERT_FALSE(windows_.IsWindowVisible(kProgressWindow));
  ::SendMessageW(progress, WM_USER, 37, WM_LBUTTONDOWN);
  ::SendMessageW(progress, WM_USER, 37, WM_MOUSEMOVE);
  Pump();
  EXPECT_FALSE(windows_.IsWindowVisible(kProgressWindow));
  ::SendMessageW(progress, WM_USER, 37, WM_LBUTTONDBLCLK);
  Pump();
  EXPECT_TRUE(windows_.IsWindowVisible(kProgressWindow));

  ::SendMessageW(progress, WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  ASSERT_FALSE(windows_.IsWindowVisible(kProgressWindow));
  ::SendMessageW(progress, WM_USER, 37, NIN_BALLOONUSERCLICK);
  Pump();
  EXPECT_TRUE(windows_.IsWindowVisible(kProgressWindow));
}

TEST_F(Win32WindowsTest, TheMenuHoldsItsEntriesAndLoadMediaFollowsTheDrive) {
  Start();
  HMENU menu = tray_.menu();
  const auto entry = [](HMENU in, int position) {
    wchar_t text[64] = {};
    ::GetMenuStringW(in, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
    const UINT id = ::GetMenuItemID(in, position);
    return win32_platform::Utf8(text) + (id == static_cast<UINT>(-1) ? "" : " (" + std::to_string(id) + ")");
  };
  std::vector<std::string> entries;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) entries.push_back(entry(menu, i));
  EXPECT_EQ(entries, (std::vector<std::string>{
                         "Rip Progress... (40)", "Rip Queue... (47)", "Settings... (41)", "About... (42)",
                         " (0)", "HandBrake Output... (43)", "Force Drive To", " (0)", "Exit (46)"}));
  HMENU drive = ::GetSubMenu(menu, 6);
  ASSERT_NE(drive, nullptr);
  EXPECT_EQ(entry(drive, 0), "Load Media (44)");
  EXPECT_EQ(entry(drive, 1), "Eject Media (45)");
  EXPECT_FALSE(::GetMenuState(menu, 44, MF_BYCOMMAND) & MF_GRAYED);

  settings_.WriteSetting("Ripping", "SourceDrive", "E");
  clock_.Advance(2500);
  Pump();
  EXPECT_TRUE(::GetMenuState(menu, 44, MF_BYCOMMAND) & MF_GRAYED);
  drives_.RemoveDisc("E");
  clock_.Advance(2500);
  Pump();
  EXPECT_FALSE(::GetMenuState(menu, 44, MF_BYCOMMAND) & MF_GRAYED);

  // Two drives: the menu is described anew, with a submenu for each.
  drives_.InsertDisc("D", {"UDF", "MY MOVIE"});
  settings_.WriteSetting("Ripping", "SourceDrive", "D|E");
  clock_.Advance(2500);
  Pump();
  menu = tray_.menu();
  drive = ::GetSubMenu(menu, 6);
  ASSERT_NE(drive, nullptr);
  ASSERT_EQ(::GetMenuItemCount(drive), 2);
  EXPECT_EQ(entry(drive, 1), "E");
  EXPECT_EQ(entry(::GetSubMenu(drive, 1), 1), "Eject Media (103)");
  EXPECT_TRUE(::GetMenuState(menu, 100, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(::GetMenuState(menu, 102, MF_BYCOMMAND) & MF_GRAYED);
}

}  // namespace
}  // namespace ripwarden::testing
