#include "config/presets.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/linux/linux_files.h"
#include "temp_folder.h"

namespace ripwarden {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitPresetLines, AcceptsEveryLineEnd) {
  using namespace std::string_literals;
  EXPECT_EQ(SplitPresetLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitPresetLines("a\0b\0"s), (Lines{"a", "b"}));
  EXPECT_EQ(SplitPresetLines("a\n\r\nb\r\r"), (Lines{"a", "", "b", ""}));
  EXPECT_EQ(SplitPresetLines("a\n\nb\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitPresetLines("last line\r"), (Lines{"last line"}));
  EXPECT_EQ(SplitPresetLines("\n"), (Lines{""}));
  EXPECT_EQ(SplitPresetLines(""), Lines{});
}

TEST(PresetLine, SplitsNameValueAndFields) {
  EXPECT_EQ(PresetName("High Quality=x264/2500/aac/192"), "High Quality");
  EXPECT_EQ(PresetValue("High Quality=x264/2500/aac/192"), "x264/2500/aac/192");
  EXPECT_EQ(PresetName("Spaced =x264"), "Spaced ");
  EXPECT_EQ(PresetName("no equals"), "no equals");
  EXPECT_EQ(PresetValue("no equals"), "");
  EXPECT_EQ(PresetValue("n=a/b=ignored"), "a/b");
  EXPECT_EQ(PresetValue("n="), "");

  const std::string value = "x264/1500/aac/160/ignored";
  EXPECT_EQ(GetPresetField(value, PresetField::kVideoCodec), "x264");
  EXPECT_EQ(GetPresetField(value, PresetField::kVideoBitRate), "1500");
  EXPECT_EQ(GetPresetField(value, PresetField::kAudioCodec), "aac");
  EXPECT_EQ(GetPresetField(value, PresetField::kAudioBitRate), "160");
  EXPECT_EQ(GetPresetField("x264/1500", PresetField::kAudioCodec), "");
  EXPECT_EQ(GetPresetField("x264/1500", PresetField::kAudioBitRate), "");
}

class LookupPresetTest : public ::testing::Test {
 protected:
  std::string Lookup(std::string_view name) { return presets_.LookupPreset(name); }
  void WritePresets(std::string_view content) { folder_.Write("Presets.cfg", content); }

  testing::TempFolder folder_;
  linux_platform::LinuxFiles files_;
  Presets presets_{files_, folder_.Path("Presets.cfg")};
};

TEST_F(LookupPresetTest, FindsTheFirstLineWithExactlyThatName) {
  WritePresets(
      "Normal=x264/1500/aac/160\r\nnormal=mpeg4/900/mp3/128\nNormal=x264/9999/aac/320\rLast=a/b/c/d");
  EXPECT_EQ(Lookup("Normal"), "x264/1500/aac/160");
  EXPECT_EQ(Lookup("normal"), "mpeg4/900/mp3/128");
  EXPECT_EQ(Lookup("Last"), "a/b/c/d");
  EXPECT_EQ(Lookup("NORMAL"), "");
  EXPECT_EQ(Lookup("Normal "), "");
}

TEST_F(LookupPresetTest, NamesKeepTheirSpacesAndEmptyLinesMatchNothingUseful) {
  WritePresets("\nSpaced =x264/1/aac/2\nTwo Words=x264/3\n");
  EXPECT_EQ(Lookup("Spaced "), "x264/1/aac/2");
  EXPECT_EQ(Lookup("Spaced"), "");
  EXPECT_EQ(Lookup("Two Words"), "x264/3");
  EXPECT_EQ(Lookup(""), "");
}

TEST_F(LookupPresetTest, AMissingFileGivesNothingAndAReadOnlyOneIsRead) {
  EXPECT_EQ(Lookup("Normal"), "");
  EXPECT_FALSE(testing::FileExists(folder_.Path("Presets.cfg")));
  WritePresets("Normal=x264/1500/aac/160");
  ASSERT_EQ(::chmod(folder_.Path("Presets.cfg").c_str(), 0444), 0);
  EXPECT_EQ(Lookup("Normal"), "x264/1500/aac/160");
}

TEST_F(LookupPresetTest, SeesAnEditAtTheNextLookup) {
  WritePresets("Normal=x264/1500/aac/160\n");
  EXPECT_EQ(Lookup("Normal"), "x264/1500/aac/160");
  WritePresets("Normal=x264/900/aac/96\n");
  EXPECT_EQ(Lookup("Normal"), "x264/900/aac/96");
}

}  // namespace
}  // namespace ripwarden
