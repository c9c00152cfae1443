#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include "fakes/fake_drives.h"
#include "helpers/disc_images.h"
#include "platform/linux/linux_drives.h"
#include "platform/system.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

// 60 characters, 98 bytes of UTF-8: beyond what ISO 9660 and genisoimage
// allow (32 bytes), within UDF's 126.
const std::string kLongLabel = "Ünïcødé Fïlm 日本語 Ünïcødé Fïlm 日本語 Ünïcødé Fïlm 日本語 xxxxxxxxx";
const std::string kFullIsoLabel = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";

std::size_t CodePoints(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// Makes media of each kind and names them as a user would in the settings.
class DriveWorld {
 public:
  virtual ~DriveWorld() = default;
  virtual Drives& drives() = 0;
  virtual std::string DvdImage(const std::string& label) = 0;
  virtual std::string IsoImage(const std::string& label) = 0;
  virtual std::string UdfImage(const std::string& label) = 0;
  // A folder named name; video_ts names its subfolder, empty for none.
  virtual std::string DiscFolder(const std::string& name, const std::string& video_ts) = 0;
  virtual std::string FolderWithVideoTsFile() = 0;
  virtual std::string TextFile() = 0;
  virtual std::string MissingPath() = 0;
};

class NativeWorld final : public DriveWorld {
 public:
  Drives& drives() override { return drives_; }
  std::string DvdImage(const std::string& label) override { return Check(MakeDvdImage(Fresh(), label)); }
  std::string IsoImage(const std::string& label) override { return Check(MakeIsoImage(Fresh(), label)); }
  std::string UdfImage(const std::string& label) override { return Check(MakeUdfImage(Fresh(), label)); }
  std::string DiscFolder(const std::string& name, const std::string& video_ts) override {
    const std::string folder = Fresh() + "/" + name;
    std::filesystem::create_directories(folder);
    if (!video_ts.empty()) WriteMinimalVideoTs(folder + "/" + video_ts);
    return folder;
  }
  std::string FolderWithVideoTsFile() override {
    const std::string folder = Fresh();
    temp_.Write(folder.substr(temp_.path().size() + 1) + "/VIDEO_TS", "not a folder");
    return folder;
  }
  std::string TextFile() override { return temp_.Write("notes.txt", "MY MOVIE\nis not a disc\n"); }
  std::string MissingPath() override { return temp_.Path("no-such.iso"); }

 private:
  std::string Fresh() {
    const std::string folder = temp_.Path("m" + std::to_string(made_++));
    std::filesystem::create_directories(folder);
    return folder;
  }
  static std::string Check(const std::string& image) {
    if (image.empty()) throw std::runtime_error("could not build the disc image (see above)");
    return image;
  }

  TempFolder temp_;
  // The drives the program itself would get, from this system's factory.
  std::unique_ptr<System> system_ = MakeSystem({});
  Drives& drives_ = system_->services().drives;
  int made_ = 0;
};

class FakeWorld final : public DriveWorld {
 public:
  Drives& drives() override { return drives_; }
  std::string DvdImage(const std::string& label) override { return Insert({"udf", label}); }
  std::string IsoImage(const std::string& label) override { return Insert({"iso9660", label}); }
  std::string UdfImage(const std::string& label) override { return Insert({"udf", label}); }
  std::string DiscFolder(const std::string& name, const std::string& video_ts) override {
    const std::string folder = "/fake/" + std::to_string(made_++) + "/" + name;
    if (video_ts == "VIDEO_TS" || video_ts == "video_ts") drives_.InsertDisc(folder, {"folder", name});
    return folder;
  }
  std::string FolderWithVideoTsFile() override { return "/fake/plain-folder"; }
  std::string TextFile() override { return "/fake/notes.txt"; }
  std::string MissingPath() override { return "/fake/no-such.iso"; }

 private:
  std::string Insert(VolumeInfo volume) {
    const std::string image = "/fake/" + std::to_string(made_++) + ".iso";
    drives_.InsertDisc(image, std::move(volume));
    return image;
  }

  FakeDrives drives_;
  int made_ = 0;
};

// One implementation under test; its name shows in the test's name.
struct Implementation {
  const char* name;
  std::unique_ptr<DriveWorld> (*make)();
};
void PrintTo(const Implementation& implementation, std::ostream* out) { *out << implementation.name; }

class DrivesTest : public ::testing::TestWithParam<Implementation> {
 protected:
  std::unique_ptr<DriveWorld> world_ = GetParam().make();
  Drives& drives_ = world_->drives();
};

TEST_P(DrivesTest, DvdImageReadsAsUdfWithItsLabel) {
  const std::string image = world_->DvdImage("MY MOVIE");
  EXPECT_EQ(drives_.QueryVolume(image), (VolumeInfo{"udf", "MY MOVIE"}));
  EXPECT_EQ(drives_.EncoderInputPath(image), image);
}

TEST_P(DrivesTest, DiscWithoutLabelIsStillReadable) {
  EXPECT_EQ(drives_.QueryVolume(world_->IsoImage("")), (VolumeInfo{"iso9660", ""}));
}

TEST_P(DrivesTest, LabelsComeThroughWhole) {
  ASSERT_EQ(kFullIsoLabel.size(), 32u);
  const auto full = drives_.QueryVolume(world_->DvdImage(kFullIsoLabel));
  ASSERT_TRUE(full);
  EXPECT_EQ(full->label, kFullIsoLabel);

  ASSERT_EQ(CodePoints(kLongLabel), 60u);
  ASSERT_GT(kLongLabel.size(), 60u);
  EXPECT_EQ(drives_.QueryVolume(world_->UdfImage(kLongLabel)), (VolumeInfo{"udf", kLongLabel}));
}

TEST_P(DrivesTest, FolderHoldingVideoTsReadsAsDiscNamedAfterIt) {
  const std::string folder = world_->DiscFolder("MY MOVIE (copy)", "VIDEO_TS");
  EXPECT_EQ(drives_.QueryVolume(folder), (VolumeInfo{"folder", "MY MOVIE (copy)"}));
  EXPECT_EQ(drives_.EncoderInputPath(folder), folder);
  // Both spellings the DVD reading library accepts, and no other.
  EXPECT_TRUE(drives_.QueryVolume(world_->DiscFolder("lower", "video_ts")));
  EXPECT_FALSE(drives_.QueryVolume(world_->DiscFolder("mixed", "Video_TS")));
}

TEST_P(DrivesTest, NothingWithoutAReadableDisc) {
  EXPECT_FALSE(drives_.QueryVolume(world_->DiscFolder("empty", "")));
  EXPECT_FALSE(drives_.QueryVolume(world_->FolderWithVideoTsFile()));
  EXPECT_FALSE(drives_.QueryVolume(world_->TextFile()));
  EXPECT_FALSE(drives_.QueryVolume(world_->MissingPath()));
  EXPECT_FALSE(drives_.QueryVolume("sr9"));
  // A missing setting reads "0", an empty one "", a Windows one a letter.
  for (const std::string source : {"", "0", "D", "sr", "srX", "../sr0", "dvd.iso"}) {
    EXPECT_FALSE(drives_.QueryVolume(source)) << source;
    EXPECT_EQ(drives_.EncoderInputPath(source), "") << source;
  }
}

TEST_P(DrivesTest, DriveNameLeadsToItsDevice) { EXPECT_EQ(drives_.EncoderInputPath("sr0"), "/dev/sr0"); }

TEST_P(DrivesTest, TrayRequestsLeaveImagesAndFoldersAlone) {
  const std::string image = world_->DvdImage("MY MOVIE");
  const std::string folder = world_->DiscFolder("copy", "VIDEO_TS");
  for (const std::string& source : {image, folder}) {
    drives_.EjectDrive(source);
    drives_.LoadDrive(source);
    EXPECT_TRUE(drives_.QueryVolume(source)) << source;
  }
  drives_.EjectDrive("sr9");
  drives_.LoadDrive("");
}

INSTANTIATE_TEST_SUITE_P(Native, DrivesTest,
                         ::testing::Values(Implementation{"native", []() -> std::unique_ptr<DriveWorld> {
                                                            return std::make_unique<NativeWorld>();
                                                          }}));
INSTANTIATE_TEST_SUITE_P(Fake, DrivesTest,
                         ::testing::Values(Implementation{"fake", []() -> std::unique_ptr<DriveWorld> {
                                                            return std::make_unique<FakeWorld>();
                                                          }}));

TEST(LinuxDrivesTest, FolderNameIgnoresTrailingSlashes) {
  TempFolder temp;
  WriteMinimalVideoTs(temp.Path("MY MOVIE/VIDEO_TS"));
  linux_platform::LinuxDrives drives;
  EXPECT_EQ(drives.QueryVolume(temp.Path("MY MOVIE//")), (VolumeInfo{"folder", "MY MOVIE"}));
}

TEST(LinuxDrivesTest, FilesWithoutFileSystemAreNoDisc) {
  TempFolder temp;
  linux_platform::LinuxDrives drives;
  EXPECT_FALSE(drives.QueryVolume(temp.Write("empty.iso", "")));
  EXPECT_FALSE(drives.QueryVolume(temp.Write("zeros.iso", std::string(1 << 20, '\0'))));
}

TEST(LinuxDrivesTest, PipeAtTheSourcePathIsNoDiscAndDoesNotHang) {
  TempFolder temp;
  const std::string pipe = temp.Path("disc.iso");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  linux_platform::LinuxDrives drives;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(drives.QueryVolume(pipe));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace ripwarden::testing
