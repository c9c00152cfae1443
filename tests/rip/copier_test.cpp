// The helper program that copies a disc and measures a finished file, run
// as the tray program runs it, on sample DVD images; and the copy's reading
// of a disc that fails, through its seam.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "helper/dvd_copier.h"
#include "helpers/media_probe.h"
#include "helpers/sample_dvd.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

namespace fs = std::filesystem;

struct HelperRun {
  int exit_code;
  std::vector<std::string> lines;  // its own lines, without the library's notes on standard error
};

HelperRun RunHelper(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{HELPER_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const ToolOutput output = RunCapturing(argv);
  HelperRun run{output.exit_code, {}};
  std::istringstream stream(output.output);
  for (std::string line; std::getline(stream, line);) {
    for (const char* start : {"Size: ", "Copying: ", "Copied: ", "Error: ", "Duration: ", "Usage: "}) {
      if (line.rfind(start, 0) == 0) run.lines.push_back(line);
    }
  }
  return run;
}

// Every file of the image's VIDEO_TS, as the image holds it.
std::map<std::string, std::string> ImageFiles(const std::string& image) {
  std::map<std::string, std::string> files;
  std::istringstream listing(RunCapturing({"isoinfo", "-i", image, "-f"}).output);
  for (std::string path; std::getline(listing, path);) {
    if (path.rfind("/VIDEO_TS/", 0) != 0) continue;
    const std::string name = path.substr(10, path.find(';') - 10);
    files[name] = RunCapturing({"isoinfo", "-i", image, "-x", path}).output;
  }
  return files;
}

std::map<std::string, std::string> CopiedFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder + "/VIDEO_TS")) {
    files[entry.path().filename()] = ReadFileBytes(entry.path());
  }
  return files;
}

class CopierTest : public ::testing::Test {
 protected:
  const std::string image_ = SampleDvdImage(4, "COPIER TEST");
  const std::map<std::string, std::string> on_image_ = ImageFiles(image_);
  TempFolder temp_;
};

TEST_F(CopierTest, CopiesEveryFileOfAnImageAsTheImageHoldsIt) {
  ASSERT_TRUE(on_image_.count("VTS_01_1.VOB")) << "isoinfo found no title VOB";
  const HelperRun run = RunHelper({"copy", image_, temp_.Path("copy")});
  ASSERT_EQ(run.exit_code, 0) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(CopiedFiles(temp_.Path("copy")), on_image_);

  std::size_t bytes = 0;
  for (const auto& [name, content] : on_image_) bytes += content.size();
  ASSERT_GE(run.lines.size(), 3u);
  EXPECT_EQ(run.lines.front(), "Size: " + std::to_string(bytes));
  EXPECT_EQ(run.lines.back(), "Copied: " + std::to_string(bytes) + " bytes, 0 unreadable blocks skipped");
  // Read as the tray program reads them: between the first and second comma, up to "%".
  double last = -1;
  for (std::size_t i = 1; i + 1 < run.lines.size(); ++i) {
    const std::string& line = run.lines[i];
    ASSERT_EQ(line.rfind("Copying: title set ", 0), 0u) << line;
    const std::size_t comma = line.find(',');
    const double percent = std::stod(line.substr(comma + 1, line.find('%') - comma - 1));
    EXPECT_GE(percent, last) << line;
    last = percent;
  }
  EXPECT_EQ(last, 100);
}

TEST_F(CopierTest, KeepsTheLayoutOfAnImageCutInItsTitleAndCountsWhatIsLost) {
  const std::string whole = ReadFileBytes(image_);
  const std::string& vob = on_image_.at("VTS_01_1.VOB");
  const std::size_t vob_start = whole.find(vob.substr(0, 4096));
  ASSERT_NE(vob_start, std::string::npos);
  const std::size_t kept = vob.size() / 2 + 1000;
  const std::string cut = temp_.Write("cut.iso", whole.substr(0, vob_start + kept));

  const HelperRun run = RunHelper({"copy", cut, temp_.Path("copy")});
  EXPECT_EQ(run.exit_code, 2);
  ASSERT_FALSE(run.lines.empty());
  int skipped = 0;
  EXPECT_EQ(
      std::sscanf(run.lines.back().c_str(), "Copied: %*d bytes, %d unreadable blocks skipped", &skipped), 1);
  // The lost half of the title, and the backup IFO after it.
  EXPECT_GE(skipped, static_cast<int>((vob.size() - kept) / 2048)) << run.lines.back();
  const auto copied = CopiedFiles(temp_.Path("copy"));
  ASSERT_EQ(copied.size(), on_image_.size());
  for (const auto& [name, content] : on_image_) EXPECT_EQ(copied.at(name).size(), content.size()) << name;
  const std::string& copied_vob = copied.at("VTS_01_1.VOB");
  EXPECT_EQ(copied_vob.substr(0, kept / 2048 * 2048), vob.substr(0, kept / 2048 * 2048));
  EXPECT_EQ(copied_vob.substr(kept), std::string(vob.size() - kept, '\0'));
}

TEST_F(CopierTest, RefusesASourceThatIsNoDiscAndBadArguments) {
  const HelperRun missing = RunHelper({"copy", temp_.Path("no-such.iso"), temp_.Path("copy")});
  EXPECT_EQ(missing.exit_code, 1);
  ASSERT_EQ(missing.lines.size(), 1u);
  EXPECT_EQ(missing.lines[0].rfind("Error: ", 0), 0u);
  const HelperRun not_dvd =
      RunHelper({"copy", temp_.Write("text.iso", std::string(100000, 'x')), temp_.Path("copy")});
  EXPECT_EQ(not_dvd.exit_code, 1);
  EXPECT_FALSE(fs::exists(temp_.Path("copy")));

  EXPECT_EQ(RunHelper({"copy", image_}).exit_code, 64);
  EXPECT_EQ(RunHelper({"measure", image_}).exit_code, 64);
}

TEST_F(CopierTest, WritesNothingWhereTheCopyHasNoRoom) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  const std::string small = temp_.Path("small");
  fs::create_directory(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=2m") != 0)
    GTEST_SKIP() << "tmpfs cannot be mounted here";
  const HelperRun run = RunHelper({"copy", image_, small + "/copy"});
  const bool empty = fs::is_empty(small);
  ::umount(small.c_str());
  EXPECT_EQ(run.exit_code, 3);
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[1],
            "Error: Not enough space for a copy: it needs 65 MB and the work folder has 2 MB free.");
  EXPECT_TRUE(empty);
}

TEST_F(CopierTest, GivesTheLengthOfAWholeFileAndRefusesACutOne) {
  const std::string movie = temp_.Path("movie.mp4");
  ASSERT_EQ(RunCapturing({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                          "testsrc=duration=3:size=160x120:rate=25", "-c:v", "mpeg4", movie})
                .exit_code,
            0);
  const HelperRun whole = RunHelper({"duration", movie});
  EXPECT_EQ(whole.exit_code, 0);
  EXPECT_EQ(whole.lines, std::vector<std::string>{"Duration: 3.000"});

  const std::string cut = temp_.Write("cut.mp4", ReadFileBytes(movie).substr(0, 4000));
  const HelperRun broken = RunHelper({"duration", cut});
  EXPECT_EQ(broken.exit_code, 1);
  ASSERT_EQ(broken.lines.size(), 1u);
  EXPECT_EQ(broken.lines[0].rfind("Error: ", 0), 0u);
}

// A disc whose title of 1500 blocks has a block 700 that never reads and
// blocks 1100 to 1199 that read at the third try.
class FailingFile : public helper::DvdFile {
 public:
  explicit FailingFile(std::int64_t blocks) : blocks_(blocks) {}
  std::int64_t Blocks() const override { return blocks_; }
  bool Read(std::int64_t first, int count, unsigned char* out) override {
    if (blocks_ == 1500 && first <= 700 && first + count > 700) return false;
    if (blocks_ == 1500 && first < 1200 && first + count > 1100 && ++flaky_tries_ % 3 != 0) return false;
    for (int block = 0; block < count; ++block) std::fill_n(out + block * 2048, 2048, Mark(first + block));
    return true;
  }
  static unsigned char Mark(std::int64_t block) { return static_cast<unsigned char>(block % 250 + 1); }

 private:
  std::int64_t blocks_;
  int flaky_tries_ = 0;
};

class FailingDisc : public helper::DvdSource {
 public:
  int TitleSets() const override { return 1; }
  std::unique_ptr<helper::DvdFile> Open(int title_set, helper::DvdFileKind kind) override {
    if (kind == helper::DvdFileKind::kInfo) return std::make_unique<FailingFile>(2);
    if (title_set == 1 && kind == helper::DvdFileKind::kTitle) return std::make_unique<FailingFile>(1500);
    return nullptr;
  }
};

TEST_F(CopierTest, RetriesABadReadThenSkipsOnlyTheBlocksThatStayUnreadable) {
  FailingDisc disc;
  std::vector<std::string> lines;
  const int exit_code =
      helper::CopyDvd(disc, temp_.Path("copy"), [&lines](const std::string& line) { lines.push_back(line); },
                      {.blocks_per_title_vob = 1024});
  EXPECT_EQ(exit_code, 2);
  EXPECT_EQ(lines.back(), "Copied: 3080192 bytes, 1 unreadable blocks skipped");
  const std::string title = ReadFileBytes(temp_.Path("copy/VIDEO_TS/VTS_01_1.VOB")) +
                            ReadFileBytes(temp_.Path("copy/VIDEO_TS/VTS_01_2.VOB"));
  ASSERT_EQ(title.size(), 1500u * 2048);
  EXPECT_EQ(fs::file_size(temp_.Path("copy/VIDEO_TS/VTS_01_2.VOB")), 476u * 2048);
  for (std::int64_t block = 0; block < 1500; ++block) {
    const char expected = block == 700 ? '\0' : static_cast<char>(FailingFile::Mark(block));
    ASSERT_EQ(title.substr(block * 2048, 2048), std::string(2048, expected)) << "block " << block;
  }
}

}  // namespace
}  // namespace ripwarden::testing
