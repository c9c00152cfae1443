#include <gtest/gtest.h>

#include "platform/linux/posix_path_rules.h"
#ifdef _WIN32
#include "platform/win32/win32_path_rules.h"
#endif

namespace ripwarden {
namespace {

// The core stores, joins and recognises paths only through these rules, so
// the settings files users already have must keep meaning the same.
TEST(PosixPathRules, KeepTheSettingsFilesMeaning) {
  const linux_platform::PosixPathRules rules;
  EXPECT_TRUE(rules.IsPathSource("/home/me/Discs/a.iso"));
  EXPECT_FALSE(rules.IsPathSource("sr0"));
  EXPECT_FALSE(rules.IsPathSource("Discs/a.iso")) << "only an absolute path is an image";
  EXPECT_FALSE(rules.IsPathSource(""));

  EXPECT_EQ(rules.JoinPath("/srv/rips/", "a.MP4"), "/srv/rips/a.MP4");
  EXPECT_EQ(rules.JoinPath("/srv/rips", "a.MP4"), "/srv/rips/a.MP4");
  EXPECT_EQ(rules.JoinPath("/", "a.MP4"), "/a.MP4");
  EXPECT_EQ(rules.JoinPath("", "a.MP4"), "a.MP4");

  EXPECT_EQ(rules.StoredFolder("/home/me/Videos"), "/home/me/Videos/");
  EXPECT_EQ(rules.StoredFolder("/home/me/Videos/"), "/home/me/Videos/");
  EXPECT_EQ(rules.StoredFolder(""), "") << "a cancelled choice stays empty";

  EXPECT_EQ(rules.ChooserFolder("/home/me/Videos/"), "/home/me/Videos");
  EXPECT_EQ(rules.ChooserFolder("/"), "/");
  EXPECT_EQ(rules.ChooserFolder(""), "");
}

#ifdef _WIN32
// Drives are stored as their letters ("D:"), images and folders as paths
// with either separator; a drive's root keeps its separator.
TEST(Win32PathRules, TellDrivesFromPathsAndKeepDriveRoots) {
  const win32_platform::Win32PathRules rules;
  EXPECT_TRUE(rules.IsPathSource("C:\\Discs\\a.iso"));
  EXPECT_TRUE(rules.IsPathSource("C:/Discs/a.iso"));
  EXPECT_TRUE(rules.IsPathSource("\\\\server\\share\\VIDEO_TS"));
  EXPECT_FALSE(rules.IsPathSource("D:"));
  EXPECT_FALSE(rules.IsPathSource(""));

  EXPECT_EQ(rules.JoinPath("C:\\Rips", "a.MP4"), "C:\\Rips\\a.MP4");
  EXPECT_EQ(rules.JoinPath("C:/Rips/", "a.MP4"), "C:/Rips/a.MP4");
  EXPECT_EQ(rules.JoinPath("", "a.MP4"), "a.MP4");

  EXPECT_EQ(rules.StoredFolder("C:\\Users\\me\\Videos"), "C:\\Users\\me\\Videos\\");
  EXPECT_EQ(rules.StoredFolder(""), "");
  EXPECT_EQ(rules.ChooserFolder("C:\\Users\\me\\Videos\\"), "C:\\Users\\me\\Videos");
  EXPECT_EQ(rules.ChooserFolder("E:\\"), "E:\\") << "E: alone is the drive's current folder";
}
#endif

}  // namespace
}  // namespace ripwarden
