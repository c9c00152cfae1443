// The program's own windows on the real Win32 controls (under Wine here),
// driven through the system's messages as a user's clicks and keys arrive.
#include <gtest/gtest.h>

#include "platform/win32/win32_folder_dialog.h"
#include "platform/win32/win32_message_boxes.h"
#include "win32/win32_fixture.h"
#include "win32/window_picture.h"

namespace ripwarden::testing {
namespace {

using namespace control;

struct Expected {
  int window;
  int id;
  const wchar_t* class_name;
  const char* text;  // nullptr for a list, whose text is its choice
  int points;        // 0: the control keeps the system's font
  bool bold;
  RECT at;  // x, y, width, height in its window or tab page
};

// Each window's controls as the user sees them.
const Expected kControls[] = {
    {kProgressWindow, kDiscInfoLabel, L"Static", "DVD Information:", 10, true, {10, 10, 130, 20}},
    {kProgressWindow, kDiscLabelText, L"Static", "[Empty]", 10, false, {150, 10, 280, 20}},
    {kProgressWindow, kSettingsButton, L"Button", "Settings", 8, false, {500, 10, 70, 20}},
    {kProgressWindow, kRipProgressBar, L"msctls_progress32", "", 0, false, {10, 40, 560, 30}},
    {kProgressWindow, kStartButton, L"Button", "Start", 10, true, {10, 80, 70, 30}},
    {kProgressWindow, kCancelButton, L"Button", "Cancel", 10, false, {500, 80, 70, 30}},
    {kProgressWindow, kStatusText, L"Static", "", 10, false, {100, 80, 380, 40}},
    {kSettingsWindow, kSettingsTabs, L"SysTabControl32", "", 10, false, {0, 0, 602, 301}},
    {kSettingsWindow, kSourceDriveLabel, L"Static", "Source Drive:", 10, true, {8, 15, 100, 20}},
    {kSettingsWindow, kSourceDriveList, L"ComboBox", nullptr, 10, false, {118, 10, 370, 0}},
    {kSettingsWindow, kRefreshListButton, L"Button", "Refresh List", 10, false, {498, 8, 90, 30}},
    {kSettingsWindow, kDestinationLabel, L"Static", "Destination:", 10, true, {8, 45, 100, 20}},
    {kSettingsWindow, kDestinationField, L"Edit", "C:\\Rips\\", 10, false, {118, 45, 370, 20}},
    {kSettingsWindow, kBrowseButton, L"Button", "Browse", 10, false, {498, 40, 90, 30}},
    {kSettingsWindow, kQualityPresetLabel, L"Static", "Quality Preset:", 10, true, {8, 95, 110, 20}},
    {kSettingsWindow, kQualityPresetList, L"ComboBox", nullptr, 10, false, {128, 90, 220, 0}},
    {kSettingsWindow, kVideoCodecLabel, L"Static", "Video Codec:", 10, false, {8, 125, 100, 20}},
    {kSettingsWindow, kVideoCodecField, L"Edit", "x264", 10, false, {128, 120, 100, 20}},
    {kSettingsWindow, kVideoBitRateLabel, L"Static", "Bit Rate:", 10, false, {238, 125, 60, 20}},
    {kSettingsWindow, kVideoBitRateField, L"Edit", "1500", 10, false, {308, 120, 60, 20}},
    {kSettingsWindow, kAudioCodecLabel, L"Static", "Audio Codec:", 10, false, {8, 155, 100, 20}},
    {kSettingsWindow, kAudioCodecField, L"Edit", "aac", 10, false, {128, 150, 100, 20}},
    {kSettingsWindow, kAudioBitRateLabel, L"Static", "Bit Rate:", 10, false, {238, 155, 60, 20}},
    {kSettingsWindow, kAudioBitRateField, L"Edit", "160", 10, false, {308, 150, 60, 20}},
    {kSettingsWindow, kFileFormatLabel, L"Static", "File Format:", 10, false, {8, 185, 100, 20}},
    {kSettingsWindow, kFileFormatList, L"ComboBox", nullptr, 10, false, {128, 180, 100, 0}},
    {kSettingsWindow,
     kTwoPassCheck,
     L"Button",
     "Two-Pass (H.264 only) (Increased quality with same file size, takes twice as long)",
     10,
     false,
     {8, 215, 580, 20}},
    {kSettingsWindow,
     kAudioBoosterCheck,
     L"Button",
     "Audio Booster (Make quiet sounds such as speaking a bit louder)",
     10,
     false,
     {8, 240, 580, 20}},
    {kSettingsWindow, kStartUpCheck, L"Button", "Start when Windows loads.", 10, false, {8, 15, 580, 20}},
    {kSettingsWindow,
     kStartMinimisedCheck,
     L"Button",
     "Start Ripwarden minimised in the system tray.",
     10,
     false,
     {8, 35, 580, 20}},
    {kSettingsWindow,
     kAutoRipCheck,
     L"Button",
     "Automatically rip DVD when inserted.",
     10,
     false,
     {8, 65, 580, 20}},
    {kSettingsWindow,
     kEjectOnFinishCheck,
     L"Button",
     "Eject the disc when rip is complete.",
     10,
     false,
     {8, 85, 580, 20}},
    {kSettingsWindow,
     kClearHandBrakeOutputCheck,
     L"Button",
     "Clear the HandBrake output window when starting a new DVD rip.",
     10,
     false,
     {8, 105, 580, 20}},
    {kOutputWindow, kOutputList, L"ListBox", nullptr, 10, false, {0, 0, 600, 300}},
    {kSettingsWindow, kMainTitleRadio, L"Button", "Rip the main feature only", 10, false, {8, 15, 580, 20}},
    {kSettingsWindow, kShortestTitleField, L"Edit", "10", 10, false, {398, 65, 60, 20}},
    {kSettingsWindow, kAudioLanguagesField, L"Edit", "eng", 10, false, {8, 155, 300, 20}},
};

TEST_F(Win32WindowsTest, EveryControlHasItsClassIdTextFontAndPlace) {
  Start();
  for (const Expected& expected : kControls) {
    SCOPED_TRACE(expected.id);
    HWND control = windows_.ControlHandle(expected.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(::GetAncestor(control, GA_ROOT), windows_.WindowHandle(expected.window));
    EXPECT_EQ(::GetDlgCtrlID(control), expected.id);
    wchar_t class_name[64] = {};
    ::GetClassNameW(control, class_name, 64);
    EXPECT_STREQ(class_name, expected.class_name);
    if (expected.text != nullptr) {
      EXPECT_EQ(WindowText(control), expected.text);
    }
    // A disc labelled "TOM & JERRY" shows its "&".
    if (std::wstring(class_name) == L"Static") {
      EXPECT_TRUE(::GetWindowLongW(control, GWL_STYLE) & SS_NOPREFIX);
    }
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    if (expected.points == 0) {
      EXPECT_EQ(font, nullptr);
    } else {
      LOGFONTW face{};
      ASSERT_NE(font, nullptr);
      ASSERT_NE(::GetObjectW(font, sizeof face, &face), 0);
      EXPECT_STREQ(face.lfFaceName, L"Verdana");
      EXPECT_EQ(face.lfHeight, -::MulDiv(expected.points, 96, 72));
      EXPECT_EQ(face.lfWeight, expected.bold ? FW_BOLD : FW_NORMAL);
    }
    const RECT at = PlaceInParent(control);
    EXPECT_EQ(at.left, expected.at.left);
    EXPECT_EQ(at.top, expected.at.top);
    EXPECT_EQ(at.right - at.left, expected.at.right);
    // A drop-down list is as tall as its open list; the closed box is the system's.
    if (expected.at.bottom != 0) {
      EXPECT_EQ(at.bottom - at.top, expected.at.bottom);
    }
  }
  EXPECT_EQ(::SendMessageW(windows_.ControlHandle(kRipProgressBar), PBM_GETRANGE, FALSE, 0), 10000);
  EXPECT_TRUE(::GetWindowLongW(windows_.ControlHandle(kRipProgressBar), GWL_STYLE) & PBS_SMOOTH);
  EXPECT_FALSE(::IsWindowEnabled(windows_.ControlHandle(kStartUpCheck)));
  EXPECT_FALSE(::IsWindowEnabled(windows_.ControlHandle(kStartButton)));
  EXPECT_EQ(Items(kSourceDriveList),
            (std::vector<std::string>{"", "D: (DVD-RW DRIVE)", "E: MY MOVIE", "*: All drives"}));
  EXPECT_EQ(windows_.SelectedItem(kSourceDriveList), 2);
  EXPECT_EQ(Items(kFileFormatList), (std::vector<std::string>{"AVI", "MKV", "MP4"}));
  EXPECT_EQ(windows_.GetText(kQualityPresetList), "Normal");
}

TEST_F(Win32WindowsTest, WindowsAreFixedWithTheirTitlesSizesAndPlaces) {
  Start();
  struct Window {
    int id;
    const char* title;
    LONG width, height;
  };
  for (const Window& expected : {Window{kProgressWindow, "Progress - Ripwarden", 580, 120},
                                 Window{kSettingsWindow, "Settings - Ripwarden", 600, 300},
                                 Window{kOutputWindow, "HandBrake Output - Ripwarden", 600, 300}}) {
    SCOPED_TRACE(expected.title);
    HWND window = windows_.WindowHandle(expected.id);
    EXPECT_EQ(WindowText(window), expected.title);
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, expected.width);
    EXPECT_EQ(client.bottom, expected.height);
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_NE(::GetClassLongPtrW(window, GCLP_HICON), 0);
    EXPECT_EQ(::GetClassLongPtrW(window, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
  }
  // Only the progress window shows at start; the settings window was made
  // over it while it was the active one.
  EXPECT_TRUE(windows_.IsWindowVisible(kProgressWindow));
  EXPECT_FALSE(windows_.IsWindowVisible(kSettingsWindow));
  EXPECT_FALSE(windows_.IsWindowVisible(kOutputWindow));
  EXPECT_EQ(Corner(kProgressWindow), (POINT{449, 185}));
  EXPECT_EQ(Corner(kSettingsWindow), (POINT{439, 95}));
  RECT output{};
  ::GetWindowRect(windows_.WindowHandle(kOutputWindow), &output);
  EXPECT_EQ(output.left, (::GetSystemMetrics(SM_CXSCREEN) - (output.right - output.left)) / 2);
}

TEST_F(Win32WindowsTest, ClickingEachCheckBoxRewritesExactlyItsKey) {
  Start();
  windows_.ShowAppWindow(kSettingsWindow);
  for (const auto& [id, key] :
       std::vector<std::pair<int, std::string>>{{kTwoPassCheck, "TwoPass"},
                                                {kAudioBoosterCheck, "AudioBooster"},
                                                {kStartMinimisedCheck, "StartMinimised"},
                                                {kAutoRipCheck, "AutoRip"},
                                                {kEjectOnFinishCheck, "EjectOnFinish"},
                                                {kClearHandBrakeOutputCheck, "ClearHandBrakeOutput"}}) {
    SCOPED_TRACE(key);
    // The user turns to the box's tab first.
    ::SendMessageW(windows_.ControlHandle(kSettingsTabs), TCM_SETCURFOCUS, id >= kStartUpCheck ? 1 : 0, 0);
    Pump();
    ASSERT_TRUE(::IsWindowVisible(windows_.ControlHandle(id)));
    const std::string before = SettingsText();
    const bool was = windows_.IsChecked(id);
    ::SendMessageW(windows_.ControlHandle(id), BM_CLICK, 0, 0);
    Pump();
    ASSERT_NE(windows_.IsChecked(id), was);
    const std::string old_line = key + " = " + (was ? "1" : "0") + "\r\n";
    std::string expected = before;
    ASSERT_NE(expected.find("\n" + old_line), std::string::npos);
    expected.replace(expected.find("\n" + old_line) + 1, old_line.size(),
                     key + " = " + (was ? "0" : "1") + "\r\n");
    EXPECT_EQ(SettingsText(), expected);
  }
}

TEST_F(Win32WindowsTest, TheTitlesTabStoresWhatTheUserChoosesAndTypes) {
  Start();
  windows_.ShowAppWindow(kSettingsWindow);
  ::SendMessageW(windows_.ControlHandle(kSettingsTabs), TCM_SETCURFOCUS, 2, 0);
  Pump();
  HWND main = windows_.ControlHandle(kMainTitleRadio);
  HWND all = windows_.ControlHandle(kAllTitlesRadio);
  HWND shortest = windows_.ControlHandle(kShortestTitleField);
  ASSERT_TRUE(::IsWindowVisible(main));
  // One group of two, apart from the fields after it; the field takes digits only.
  EXPECT_TRUE(::GetWindowLongW(main, GWL_STYLE) & WS_GROUP);
  EXPECT_FALSE(::GetWindowLongW(all, GWL_STYLE) & WS_GROUP);
  EXPECT_TRUE(::GetWindowLongW(windows_.ControlHandle(kShortestTitleLabel), GWL_STYLE) & WS_GROUP);
  EXPECT_TRUE(::GetWindowLongW(shortest, GWL_STYLE) & ES_NUMBER);
  EXPECT_EQ(::SendMessageW(main, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(::IsWindowEnabled(shortest));

  ::SendMessageW(all, BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(Setting("Ripping", "Titles"), "All");
  EXPECT_EQ(::SendMessageW(main, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  ASSERT_TRUE(::IsWindowEnabled(shortest));
  const auto type = [&](int id, const wchar_t* text) {
    HWND field = windows_.ControlHandle(id);
    ::SendMessageW(field, EM_SETSEL, 0, -1);
    for (const wchar_t* c = text; *c != 0; ++c) ::SendMessageW(field, WM_CHAR, *c, 0);
    Pump();
  };
  type(kShortestTitleField, L"2x5");
  EXPECT_EQ(Setting("Ripping", "ShortestTitle"), "25");
  ::SendMessageW(shortest, EM_SETSEL, 0, -1);
  ::SendMessageW(shortest, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"9-"));  // pasted, not typed
  Pump();
  EXPECT_EQ(Setting("Ripping", "ShortestTitle"), "25");
  type(kAudioLanguagesField, L" eng,fra ");
  EXPECT_EQ(Setting("Ripping", "AudioLanguages"), "eng,fra");
  ::SendMessageW(windows_.ControlHandle(kChapterMarkersCheck), BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(Setting("Ripping", "ChapterMarkers"), "0");

  // Refused: each control shows the stored value again, once, and is quiet then.
  files_.Put(kSettings, SettingsText(), false);
  ::SendMessageW(main, BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(::SendMessageW(all, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(main, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  type(kShortestTitleField, L"7");
  EXPECT_EQ(windows_.GetText(kShortestTitleField), "25");
  EXPECT_FALSE(windows_.HasEvents());
  EXPECT_EQ(boxes_.messages.size(), 1u);
}

TEST_F(Win32WindowsTest, ChoosingFromTheListsStoresTheChoice) {
  Start();
  windows_.ShowAppWindow(kSettingsWindow);
  windows_.BringToFront(kSettingsWindow);
  Pump();
  Press(kSourceDriveList, VK_UP);
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "D");
  Press(kQualityPresetList, VK_DOWN);
  EXPECT_EQ(Setting("Ripping", "Encoding"), "Small");
  EXPECT_EQ(windows_.GetText(kVideoBitRateField), "900");
  Press(kFileFormatList, VK_UP);
  EXPECT_EQ(Setting("Ripping", "FileContainer"), "MKV");
  // Nothing else was written by the lists.
  EXPECT_EQ(Setting("Ripping", "TwoPass"), "1");
}

TEST_F(Win32WindowsTest, MerelyFocusingTheDriveListStoresItsSelection) {
  settings_.WriteSetting("Ripping", "SourceDrive", "e");
  Start();
  windows_.ShowAppWindow(kSettingsWindow);
  windows_.BringToFront(kSettingsWindow);
  ::SetFocus(windows_.ControlHandle(kRefreshListButton));
  Pump();
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "e");
  ::SetFocus(windows_.ControlHandle(kSourceDriveList));
  Pump();
  EXPECT_EQ(Setting("Ripping", "SourceDrive"), "");
}

TEST_F(Win32WindowsTest, TabGoesThroughTheControlsInOrderEachAfterItsLabel) {
  Start();
  windows_.ShowAppWindow(kSettingsWindow);
  windows_.BringToFront(kSettingsWindow);
  ::SetFocus(windows_.ControlHandle(kSettingsTabs));
  Pump();
  std::vector<int> order;
  for (int i = 0; i < 14; ++i) {
    MSG tab{::GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    windows_.Dispatch(tab);
    order.push_back(::GetDlgCtrlID(::GetFocus()));
  }
  EXPECT_EQ(order, (std::vector<int>{kSourceDriveList, kRefreshListButton, kDestinationField, kBrowseButton,
                                     kQualityPresetList, kVideoCodecField, kVideoBitRateField,
                                     kAudioCodecField, kAudioBitRateField, kFileFormatList, kTwoPassCheck,
                                     kAudioBoosterCheck, kSettingsTabs, kSourceDriveList}));
  // Screen readers name a control after the label just before it.
  for (const auto& [label, control] :
       std::vector<std::pair<int, int>>{{kSourceDriveLabel, kSourceDriveList},
                                        {kDestinationLabel, kDestinationField},
                                        {kQualityPresetLabel, kQualityPresetList},
                                        {kVideoCodecLabel, kVideoCodecField},
                                        {kVideoBitRateLabel, kVideoBitRateField},
                                        {kAudioCodecLabel, kAudioCodecField},
                                        {kAudioBitRateLabel, kAudioBitRateField},
                                        {kFileFormatLabel, kFileFormatList}}) {
    EXPECT_EQ(::GetWindow(windows_.ControlHandle(control), GW_HWNDPREV), windows_.ControlHandle(label))
        << control;
  }
}

TEST_F(Win32WindowsTest, TheCloseBoxHidesEachWindowAndKeepsIt) {
  Start();
  for (int window : {kProgressWindow, kSettingsWindow, kOutputWindow}) {
    windows_.ShowAppWindow(window);
    ASSERT_TRUE(windows_.IsWindowVisible(window));
    ::SendMessageW(windows_.WindowHandle(window), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_FALSE(windows_.IsWindowVisible(window)) << window;
    EXPECT_TRUE(::IsWindow(windows_.WindowHandle(window))) << window;
  }
}

TEST_F(Win32WindowsTest, TheBarAndStatusFollowTheEncoderOutput) {
  settings_.WriteSetting("Other", "AutoRip", "1");
  // The main feature as it is, without a scan of the disc first.
  settings_.WriteSetting("Ripping", "AudioLanguages", "");
  Start();
  clock_.Advance(2500);
  Pump();
  ASSERT_TRUE(engine_.IsRipping());
  EXPECT_EQ(windows_.GetText(kStatusText), "Reading Disc...");
  const ChildProcess encoder = processes_.last_started();
  processes_.Output(encoder, "Encoding: task 1 of 1, 45.50 %\n");
  clock_.Advance(1000);
  Pump();
  EXPECT_EQ(::SendMessageW(windows_.ControlHandle(kRipProgressBar), PBM_GETPOS, 0, 0), 4550);
  EXPECT_EQ(windows_.GetText(kStatusText), "45.50%");
  EXPECT_EQ(windows_.ItemText(kOutputList, 0), "Encoding: task 1 of 1, 45.50 %");
  EXPECT_TRUE(windows_.IsEnabled(kCancelButton));

  processes_.Output(encoder, "Encoding: task 1 of 1, 100.00 %\n");
  processes_.Exit(encoder, 0);
  files_.Put(JobOf(engine_).encoding_file, "ftyp....");
  clock_.Advance(1000);
  Pump();
  // The poll after the last line finds the encoder ended.
  clock_.Advance(2500);
  Pump();
  EXPECT_EQ(::SendMessageW(windows_.ControlHandle(kRipProgressBar), PBM_GETPOS, 0, 0), 10000);
  EXPECT_EQ(windows_.GetText(kStatusText), "COMPLETE!");
  EXPECT_FALSE(windows_.IsEnabled(kCancelButton));
}

// Pictures of the windows for the documentation; the test fails only when
// one cannot be drawn or written.
TEST_F(Win32WindowsTest, DrawsTheWindowsForTheDocumentation) {
  Start();
  view_.SetDiscLabelText("MY MOVIE");
  view_.SetRipProgressBar(4523);
  view_.SetStatusText("45.23%");
  view_.EnableCancelButton(true);
  for (const char* line : {"-i E:\\VIDEO_TS -o C:\\Rips\\MY_MOVIE_(2026-12-07_14-02-48).MP4 --main-feature "
                           "-e x264 -b 1500 -2 -a 1 "
                           "-E aac -B 160",
                           "libdvdnav: DVD Title: MY MOVIE", "Encoding: task 1 of 2, 12.40 %",
                           "Encoding: task 1 of 2, 45.23 %"}) {
    view_.InsertOutputLine(line);
  }
  const std::string folder = SCREENSHOT_FOLDER;
  const auto picture = [&](int window, const std::string& name) {
    windows_.ShowAppWindow(window);
    windows_.BringToFront(window);
    Pump();
    EXPECT_TRUE(SaveWindowPicture(windows_.WindowHandle(window), folder + "/" + name)) << name;
  };
  picture(kProgressWindow, "win32-progress-window.png");
  picture(kOutputWindow, "win32-output-window.png");
  picture(kSettingsWindow, "win32-settings-ripping.png");
  ::SendMessageW(windows_.ControlHandle(kSettingsTabs), TCM_SETCURFOCUS, 1, 0);
  picture(kSettingsWindow, "win32-settings-other.png");
}

TEST(Win32DialogTextTest, BoxesBreakParagraphsAndTheBrowserOpensOnTheFolder) {
  EXPECT_EQ(win32_platform::BoxText("One.\r\rTwo.\r\nThree."), L"One.\r\n\r\nTwo.\r\nThree.");
  using win32_platform::InitialBrowseFolder;
  EXPECT_EQ(InitialBrowseFolder("C:\\Rips\\"), L"C:\\Rips");
  EXPECT_EQ(InitialBrowseFolder("C:/Rips/"), L"C:\\Rips");
  // A drive's root keeps its backslash.
  EXPECT_EQ(InitialBrowseFolder("C:\\"), L"C:\\");
  EXPECT_EQ(InitialBrowseFolder("C:\\" + std::string(300, 'x')).size(), 259u);
}

}  // namespace
}  // namespace ripwarden::testing
