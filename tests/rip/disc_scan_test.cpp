#include "rip/disc_scan.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "temp_folder.h"

namespace ripwarden {
namespace {

using Mode = TitleChoice::Mode;

// What precedes the title set on standard output, shortened.
constexpr const char* kBefore =
    "Version: {\n    \"Name\": \"HandBrake\"\n}\nlibdvdnav: DVD Title: MY SERIES\n"
    "Progress: {\n    \"State\": \"SCANNING\"\n}\n";

std::string Recorded(const std::string& name) {
  return kBefore + testing::ReadFileBytes(ASSETS_DIR "/handbrake-1.6.1/" + name);
}

DiscScan RecordedScan(const std::string& name) {
  const auto scan = ParseDiscScan(Recorded(name));
  if (!scan) throw std::runtime_error(name + " does not parse");
  return *scan;
}

ScannedTitle Title(int index, std::vector<double> chapter_minutes) {
  ScannedTitle title;
  title.index = index;
  for (const double minutes : chapter_minutes) {
    title.chapter_ticks.push_back(static_cast<std::int64_t>(minutes * 60 * 90000));
    title.seconds += minutes * 60;
  }
  return title;
}

std::vector<int> All(const DiscScan& scan, int shortest = 0, int longest = 0) {
  return ChooseTitles(scan, {.mode = Mode::kAll, .shortest_minutes = shortest, .longest_minutes = longest});
}

TEST(DiscScanTest, RecordedSeriesScanGivesEachEpisodeOnce) {
  const DiscScan scan = RecordedScan("scan-series.out");
  ASSERT_EQ(scan.titles.size(), 5u);
  std::vector<double> seconds;
  std::vector<std::size_t> chapters;
  for (const ScannedTitle& title : scan.titles) {
    seconds.push_back(title.seconds);
    chapters.push_back(title.chapter_ticks.size());
  }
  EXPECT_EQ(seconds, (std::vector<double>{12, 14, 16, 42, 12}));
  EXPECT_EQ(chapters, (std::vector<std::size_t>{1, 1, 1, 3, 1}));
  EXPECT_EQ(scan.titles[3].index, 4);
  EXPECT_FALSE(scan.main_feature.has_value());

  EXPECT_EQ(All(scan), (std::vector<int>{1, 2, 3}));
  // The scan names no main feature here: the longest title is the one.
  EXPECT_EQ(ChooseTitles(scan, {.mode = Mode::kMain}), (std::vector<int>{4}));

  const ScannedTitle& episode = scan.titles[1];
  ASSERT_EQ(episode.audio.size(), 2u);
  EXPECT_EQ(episode.audio[1].language, "fra");
  EXPECT_EQ(episode.audio[1].description, "Francais (AC3) (2.0 ch) (448 kbps)");
  ASSERT_EQ(episode.subtitles.size(), 1u);
  EXPECT_EQ(episode.subtitles[0].index, 1);
  EXPECT_EQ(episode.subtitles[0].language, "eng");

  EXPECT_EQ(TracksInLanguages(episode.audio, "eng,fra"), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(TracksInLanguages(episode.audio, " FRA , deu"), (std::vector<std::string>{"2"}));
  EXPECT_EQ(TracksInLanguages(episode.subtitles, "fra"), std::vector<std::string>{});
}

TEST(DiscScanTest, RecordedPlainScanHasOneTitle) {
  const DiscScan scan = RecordedScan("scan-plain.out");
  ASSERT_EQ(scan.titles.size(), 1u);
  EXPECT_EQ(scan.titles[0].seconds, 10);
  EXPECT_EQ(scan.titles[0].audio.at(0).language, "und");
  EXPECT_EQ(All(scan), std::vector<int>{1});
  EXPECT_EQ(ChooseTitles(scan, {.mode = Mode::kMain}), std::vector<int>{1});
}

TEST(DiscScanTest, CutOrForeignOutputGivesNothing) {
  const std::string whole = Recorded("scan-series.out");
  EXPECT_FALSE(ParseDiscScan(whole.substr(0, whole.size() / 2)));
  EXPECT_FALSE(ParseDiscScan(whole.substr(0, whole.rfind('}'))));
  EXPECT_FALSE(ParseDiscScan(kBefore));
  EXPECT_FALSE(ParseDiscScan("JSON Title Set: garbage {"));
  EXPECT_FALSE(ParseDiscScan("JSON Title Set: {\"MainFeature\": -1, \"TitleList\": 3}"));
  EXPECT_FALSE(ParseDiscScan("JSON Title Set: {\"MainFeature\": -1, \"TitleList\": [{\"Index\": 1}]}"));
  EXPECT_TRUE(
      ParseDiscScan("JSON Title Set: {\"MainFeature\": 2, \"TitleList\": []}\nHandBrake has exited."));
}

TEST(DiscScanTest, RepeatsAreKnownWhereverTheyStand) {
  DiscScan scan;
  // A play-all first, marked at each chapter of its episodes; one marked at
  // each episode only; two episodes of one length but other chapters; a
  // title as long as two episodes, with a chapter where they have none.
  scan.titles = {Title(1, {10, 12, 11, 12}), Title(2, {10, 12}), Title(3, {11, 12}),       Title(4, {22, 23}),
                 Title(5, {22, 1}),          Title(6, {12, 11}), Title(7, {10, 12, 5, 18})};
  EXPECT_EQ(All(scan), (std::vector<int>{2, 3, 5, 6, 7}));

  scan.titles = {Title(1, {20}), Title(2, {25}), Title(3, {45})};
  EXPECT_EQ(All(scan), (std::vector<int>{1, 2, 3})) << "one chapter cannot hold two episodes";
}

TEST(DiscScanTest, LimitsAndTheMainFeature) {
  DiscScan scan;
  scan.titles = {Title(1, {2}), Title(2, {22}), Title(3, {90}), Title(4, {10}), Title(5, {60})};
  EXPECT_EQ(All(scan, 10, 60), (std::vector<int>{2, 4, 5}));
  EXPECT_EQ(All(scan, 0, 30), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(All(scan, 91), std::vector<int>{});
  EXPECT_EQ(ChooseTitles(scan, {.mode = Mode::kMain}), std::vector<int>{3});
  scan.main_feature = 5;
  EXPECT_EQ(ChooseTitles(scan, {.mode = Mode::kMain}), std::vector<int>{5});
  EXPECT_EQ(ChooseTitles(DiscScan{}, {.mode = Mode::kMain}), std::vector<int>{});
}

}  // namespace
}  // namespace ripwarden
