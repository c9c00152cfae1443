#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "helpers/media_probe.h"
#include "helpers/sample_dvd.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

namespace fs = std::filesystem;

// The volume identifier of the primary volume descriptor (sector 16, bytes
// 40 to 71, padded with spaces): what a drive reports as the disc's label.
std::string VolumeLabel(const std::string& image) {
  std::ifstream in(image, std::ios::binary);
  in.seekg(16 * 2048 + 40);
  std::string label(32, '\0');
  in.read(label.data(), 32);
  if (!in) return {};
  return label.substr(0, label.find_last_not_of(' ') + 1);
}

TEST(SampleDvd, IsMadeOnceUnderItsLabelAndFoundAgain) {
  const std::string image = SampleDvdImage(12, "MY MOVIE");
  ASSERT_TRUE(fs::is_regular_file(image)) << image;
  EXPECT_EQ(VolumeLabel(image), "MY MOVIE");
  const auto made = fs::last_write_time(image);

  EXPECT_EQ(SampleDvdImage(12, "MY MOVIE"), image);
  EXPECT_EQ(fs::last_write_time(image), made) << "made again instead of taken from the cache";

  // A label that files would spell alike must still get its own disc.
  const std::string other = SampleDvdImage(12, "MY_MOVIE");
  EXPECT_NE(other, image);
  EXPECT_EQ(VolumeLabel(other), "MY_MOVIE");
  EXPECT_EQ(VolumeLabel(image), "MY MOVIE");
}

TEST(SampleDvd, RipsToH264AndAacOfTheTitlesLength) {
  const std::string image = SampleDvdImage(12, "MY MOVIE");
  const TempFolder temp;
  const std::string folder = temp.Path("rips of (a) disc");
  fs::create_directories(folder);
  const std::string film = folder + "/MY_MOVIE_(2009-03-14_15-09-26).MP4";

  const ToolOutput rip =
      RunCapturing({"HandBrakeCLI", "-i", image, "-o", film, "--main-feature", "-e", "x264", "-b", "1500",
                    "-2", "-a", "1", "-E", "aac", "-B", "160", "-D", "1.5"});
  ASSERT_EQ(rip.exit_code, 0) << LastLines(rip.output, 30);

  const std::optional<MediaInfo> info = ProbeMedia(film);
  ASSERT_TRUE(info.has_value()) << "ffprobe cannot read " << film;
  EXPECT_EQ(info->video_codec, "h264");
  EXPECT_EQ(info->audio_codec, "aac");
  EXPECT_NEAR(info->duration_seconds, 12.0, 1.0);
}

}  // namespace
}  // namespace ripwarden::testing
