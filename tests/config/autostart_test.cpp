#include <gtest/gtest.h>

#include "config/start_with_windows.h"
#include "platform/linux/xdg_autostart.h"
#include "temp_folder.h"

namespace ripwarden {
namespace {

using linux_platform::DesktopExecValue;
using linux_platform::XdgAutostart;
using testing::FileExists;
using testing::ReadFileBytes;

std::string ExecLine(const std::string& entry) {
  const auto start = entry.find("\nExec=");
  if (start == std::string::npos) return {};
  return entry.substr(start + 6, entry.find('\n', start + 1) - start - 6);
}

TEST(XdgAutostart, RegistersTheRunningProgramAndRemovesIt) {
  testing::TempFolder folder;
  XdgAutostart autostart(folder.Path("autostart"));
  SetStartWithWindows(autostart, 1);
  ASSERT_TRUE(FileExists(autostart.EntryPath()));
  const std::string entry = ReadFileBytes(autostart.EntryPath());
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
  EXPECT_EQ(ExecLine(entry), "\"" + linux_platform::RunningProgramPath() + "\"");
  EXPECT_NE(linux_platform::RunningProgramPath().find("autostart_tests"), std::string::npos);

  SetStartWithWindows(autostart, 1);
  EXPECT_EQ(ReadFileBytes(autostart.EntryPath()), entry);

  SetStartWithWindows(autostart, 2);  // only 1 means on
  EXPECT_FALSE(FileExists(autostart.EntryPath()));
  SetStartWithWindows(autostart, 0);
  EXPECT_FALSE(FileExists(autostart.EntryPath()));
}

TEST(XdgAutostart, AMovedProgramReplacesTheOldPath) {
  testing::TempFolder folder;
  XdgAutostart before(folder.Path("a/b"), "/opt/old/ripwarden");
  before.Register();
  XdgAutostart after(folder.Path("a/b"), "/opt/new/ripwarden");
  after.Register();
  EXPECT_EQ(ExecLine(ReadFileBytes(after.EntryPath())), "\"/opt/new/ripwarden\"");
}

TEST(XdgAutostart, FollowsXdgConfigHome) {
  testing::TempFolder folder;
  ::setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
  EXPECT_EQ(linux_platform::DefaultAutostartFolder(), folder.Path("autostart"));
  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(linux_platform::DefaultAutostartFolder(), "/home/someone/.config/autostart");
}

TEST(DesktopExecValue, QuotesAndEscapesAwkwardPaths) {
  EXPECT_EQ(DesktopExecValue("/opt/Rip Warden (x86)/ripwarden"), "\"/opt/Rip Warden (x86)/ripwarden\"");
  // In the file: \" for a quote, \\$ and \\` for the shell-special signs, \\\\ for a backslash.
  EXPECT_EQ(DesktopExecValue("/a\"b$c`d\\e"), "\"/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e\"");
  EXPECT_EQ(DesktopExecValue("/100%/rip"), "\"/100%%/rip\"");
}

}  // namespace
}  // namespace ripwarden
