#include <gtest/gtest.h>

#include "platform/linux/posix_path_rules.h"

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

}  // namespace
}  // namespace ripwarden
