#include <gtest/gtest.h>

#include "platform/linux/linux_drives.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

class DriveListTest : public ::testing::Test {
 protected:
  void AddBlockDevice(const std::string& name, const std::string& type, const std::string& model) {
    temp_.Write("sys/class/block/" + name + "/device/type", type);
    if (!model.empty()) temp_.Write("sys/class/block/" + name + "/device/model", model);
  }

  TempFolder temp_;
  linux_platform::LinuxDrives drives_{temp_.Path("sys"), temp_.Path("dev")};
};

TEST_F(DriveListTest, ListsOnlyOpticalDrivesInNameOrder) {
  AddBlockDevice("sr0", "5\n", "DVD-RW  \n");
  AddBlockDevice("sda", "0\n", "Some Disk\n");
  AddBlockDevice("sr10", "5\n", "");
  AddBlockDevice("sr2", "5\n", "BD-ROM BH16NS40\n");
  // A partition or loop device has no SCSI type at all.
  temp_.Write("sys/class/block/loop0/size", "0\n");

  EXPECT_EQ(drives_.ListDrives(),
            (std::vector<std::string>{"sr0: (DVD-RW)", "sr2: (BD-ROM BH16NS40)", "sr10:"}));
}

TEST_F(DriveListTest, StoredTextBeforeTheColonNamesTheDrive) {
  AddBlockDevice("sr0", "5\n", "DVD-RW\n");
  const std::vector<std::string> entries = drives_.ListDrives();
  ASSERT_EQ(entries.size(), 1u);
  const std::string stored = entries[0].substr(0, entries[0].find(':'));
  EXPECT_EQ(stored, "sr0");
  EXPECT_EQ(drives_.EncoderInputPath(stored), temp_.Path("dev/sr0"));
}

TEST_F(DriveListTest, NoSysfsMeansNoDrives) { EXPECT_TRUE(drives_.ListDrives().empty()); }

}  // namespace
}  // namespace ripwarden::testing
