#include "config/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/linux/linux_files.h"
#include "temp_folder.h"

namespace ripwarden {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
using testing::Utf16File;

class ConfigFileTest : public ::testing::Test {
 protected:
  std::string Write(std::string_view content) { return folder_.Write("Settings.cfg", content); }
  std::string Assets(std::string_view name) {
    return ReadFileBytes(std::string(ASSETS_DIR "/config/") + std::string(name));
  }

  TempFolder folder_;
  linux_platform::LinuxFiles files_;
  ConfigFile config_{files_, Charset::kUtf8};
};

TEST_F(ConfigFileTest, WritesATypedFileBackInCanonicalForm) {
  const std::string path = Write(Assets("typed-by-hand.cfg"));
  ASSERT_TRUE(config_.OpenConfig(path));
  EXPECT_TRUE(config_.SelectGroup("Other"));
  config_.WriteText("EjectOnFinish", "1");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path), Assets("typed-by-hand.written.cfg"));
}

TEST_F(ConfigFileTest, MatchesKeysAndGroupsWhateverTheirCase) {
  const std::string path = Write("[RIPPING]\nsourcedrive = D \nSOURCEDRIVE=E\n");
  ASSERT_TRUE(config_.OpenConfig(path));
  ASSERT_TRUE(config_.SelectGroup("Ripping"));
  EXPECT_EQ(config_.ReadText("SourceDrive", "0"), "D");
  config_.WriteText("SourceDrive", "F");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path), "[RIPPING]\r\nSourceDrive = F\r\nSOURCEDRIVE = E\r\n");
}

TEST_F(ConfigFileTest, ReadsValuesWithEqualsSignsAndWithoutOne) {
  const std::string path = Write("Destination = /mnt/a=b/ \t\nBare\n");
  ASSERT_TRUE(config_.OpenConfig(path));
  EXPECT_TRUE(config_.SelectGroup(""));
  EXPECT_EQ(config_.ReadText("Destination", "0"), "/mnt/a=b/");
  EXPECT_EQ(config_.ReadText("Bare", "0"), "");
  EXPECT_EQ(config_.ReadText("Missing", "0"), "0");
  config_.WriteText("Other", "x");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path), "Destination = /mnt/a=b/ \t\r\nBare = \r\nOther = x\r\n");
}

TEST_F(ConfigFileTest, FindsOnlyTheFirstOfDuplicateGroupsAndKeys) {
  const std::string path = Write("[G]\nk=1\nk=2\n[g]\nk=3\nj=4\n");
  ASSERT_TRUE(config_.OpenConfig(path));
  ASSERT_TRUE(config_.SelectGroup("G"));
  EXPECT_EQ(config_.ReadText("k", "0"), "1");
  EXPECT_EQ(config_.ReadText("j", "0"), "0");
  config_.WriteText("k", "5");
  config_.WriteText("j", "6");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path), "[G]\r\nk = 5\r\nk = 2\r\nj = 6\r\n[g]\r\nk = 3\r\nj = 4\r\n");
}

TEST_F(ConfigFileTest, AddsNewKeysAfterTheGroupsLastLineAndNewGroupsAtTheEnd) {
  const std::string path = Write("top=1\n[A]\na=1\n; trailing note\n[B]\nb=1\n");
  ASSERT_TRUE(config_.OpenConfig(path));
  ASSERT_TRUE(config_.SelectGroup("A"));
  config_.WriteText("a2", "2");
  EXPECT_FALSE(config_.SelectGroup("New"));
  EXPECT_EQ(config_.ReadText("top", "dflt"), "dflt");  // a pending group holds nothing
  config_.WriteText("n", "3");
  config_.WriteText("n2", "4");
  ASSERT_TRUE(config_.SelectGroup(""));
  config_.WriteText("top2", "5");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path),
            "top = 1\r\ntop2 = 5\r\n[A]\r\na = 1\r\n; trailing note\r\na2 = 2\r\n[B]\r\nb = 1\r\n"
            "[New]\r\nn = 3\r\nn2 = 4\r\n");
}

TEST_F(ConfigFileTest, WritesTheFirstGroupIntoAnEmptyFile) {
  const std::string path = Write("");
  ASSERT_TRUE(config_.OpenConfig(path));
  EXPECT_FALSE(config_.SelectGroup("Other"));
  config_.WriteText("AutoRip", "1");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path), "[Other]\r\nAutoRip = 1\r\n");
}

TEST_F(ConfigFileTest, NeverTouchesAFileThatWasOnlyRead) {
  const std::string content = "  [Ripping]   junk\n\n\nSourceDrive=D   \n";
  const std::string path = Write(content);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_TRUE(config_.OpenConfig(path));
  config_.SelectGroup("Ripping");
  EXPECT_EQ(config_.ReadText("SourceDrive", "0"), "D");
  config_.CloseConfig();
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(ReadFileBytes(path), content);
  EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST_F(ConfigFileTest, OpeningAMissingFileFailsAndCreatesNothing) {
  const std::string path = folder_.Path("Settings.cfg");
  EXPECT_FALSE(config_.OpenConfig(path));
  EXPECT_EQ(config_.ReadText("k", "dflt"), "dflt");
  config_.WriteText("k", "v");
  config_.CloseConfig();
  EXPECT_FALSE(testing::FileExists(path));
  EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));
}

TEST_F(ConfigFileTest, OpeningAnotherFileWritesBackTheFirst) {
  const std::string first = folder_.Write("one.cfg", "a=1\n");
  const std::string second = folder_.Write("two.cfg", "b=2\n");
  ASSERT_TRUE(config_.OpenConfig(first));
  config_.WriteText("a", "9");
  ASSERT_TRUE(config_.OpenConfig(second));
  EXPECT_EQ(ReadFileBytes(first), "a = 9\r\n");
  EXPECT_EQ(config_.ReadText("a", "0"), "0");
  EXPECT_EQ(config_.ReadText("b", "0"), "2");
}

TEST_F(ConfigFileTest, DropsAWriteWhoseValueWouldBreakTheLine) {
  const std::string path = Write("[Ripping]\nDestination=/srv/\n");
  ASSERT_TRUE(config_.OpenConfig(path));
  config_.SelectGroup("Ripping");
  config_.WriteText("Destination", "/srv/x\r\n[HandBrake]\r\nLocation = /bin/sh");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path), "[Ripping]\nDestination=/srv/\n");
}

TEST_F(ConfigFileTest, KeepsPermissionsAndALinkedFileInPlace) {
  const std::string target = folder_.Write("real/Settings.cfg", "[G]\nk=1\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const std::string link = folder_.Path("Settings.cfg");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  ASSERT_TRUE(config_.OpenConfig(link));
  config_.SelectGroup("G");
  config_.WriteText("k", "2");
  config_.CloseConfig();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(target), "[G]\r\nk = 2\r\n");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  // Nothing but the file itself is left in its folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path("real")), {}), 1);
}

TEST_F(ConfigFileTest, ReadOnlyFileReadsButKeepsItsContent) {
  const std::string content = "[Other]\nAutoRip=1\n";
  const std::string path = Write(content);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_TRUE(config_.OpenConfig(path));
  config_.SelectGroup("Other");
  EXPECT_EQ(config_.ReadText("AutoRip", "0"), "1");
  config_.WriteText("AutoRip", "0");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path), content);
}

class Utf8ModeTest : public ConfigFileTest {};

TEST_F(Utf8ModeTest, KeepsTheMarkAndAddsAnEmptyFirstLine) {
  const std::string path = Write("\xEF\xBB\xBF[G]\nk=1\n");
  ASSERT_TRUE(config_.OpenConfig(path));
  config_.SelectGroup("G");
  config_.WriteText("k", "2");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path), "\xEF\xBB\xBF\r\n[G]\r\nk = 2\r\n");
  ASSERT_TRUE(config_.OpenConfig(path));
  config_.SelectGroup("G");
  config_.WriteText("k", "3");
  config_.CloseConfig();
  EXPECT_EQ(ReadFileBytes(path), "\xEF\xBB\xBF\r\n[G]\r\nk = 3\r\n");
}

TEST_F(Utf8ModeTest, Latin1ProgramTextIsConvertedAtTheFile) {
  ConfigFile latin1(files_, Charset::kLatin1);
  const std::string path = Write(Assets("utf8-bom.cfg"));
  ASSERT_TRUE(latin1.OpenConfig(path));
  latin1.SelectGroup("Ripping");
  EXPECT_EQ(latin1.ReadText("Destination", "0"), "/home/jos\xE9/Rips/");
  EXPECT_EQ(latin1.ReadText("Label", "0"), "");  // the euro sign has no Latin-1 byte
  latin1.WriteText("Destination", "/caf\xE9/");
  latin1.CloseConfig();
  EXPECT_NE(ReadFileBytes(path).find("Destination = /caf\xC3\xA9/\r\n"), std::string::npos);
}

TEST_F(Utf8ModeTest, Utf8ProgramTextPassesUnchangedUnlessIllFormed) {
  const std::string path = Write(
      "\xEF\xBB\xBF"
      "ok=/home/jos\xC3\xA9/"
      "\xE2\x82\xAC\nbad=a\xFFz\noverlong=\xC0\xAF\ncut=abc\xE2\x82\nsurrogate=\xED\xA0\x80\n");
  ASSERT_TRUE(config_.OpenConfig(path));
  EXPECT_EQ(config_.ReadText("ok", "0"), "/home/jos\xC3\xA9/\xE2\x82\xAC");
  EXPECT_EQ(config_.ReadText("bad", "0"), "");
  EXPECT_EQ(config_.ReadText("overlong", "0"), "");
  EXPECT_EQ(config_.ReadText("cut", "0"), "abc");
  EXPECT_EQ(config_.ReadText("surrogate", "0"), "");
}

TEST_F(Utf8ModeTest, Utf16IsConvertedLikeUtf8AtTheFile) {
  ConfigFile latin1(files_, Charset::kLatin1);
  const std::string path = Write(Utf16File(u"k=jos\u00E9\r\neuro=\u20AC\r\n"));
  ASSERT_TRUE(latin1.OpenConfig(path));
  EXPECT_EQ(latin1.ReadText("k", "0"), "jos\xE9");
  EXPECT_EQ(latin1.ReadText("euro", "0"), "");
  latin1.WriteText("k", "caf\xE9");
  EXPECT_TRUE(latin1.CloseConfig());
  EXPECT_EQ(ReadFileBytes(path), Utf16File(u"k = caf\u00E9\r\neuro = \u20AC\r\n"));

  // Text that has no UTF-16 form is not written as something else.
  ASSERT_TRUE(config_.OpenConfig(path));
  config_.WriteText("k", "a\xFFz");
  EXPECT_FALSE(config_.CloseConfig());
  EXPECT_EQ(ReadFileBytes(path), Utf16File(u"k = caf\u00E9\r\neuro = \u20AC\r\n"));
}

TEST_F(Utf8ModeTest, FilesWithoutTheMarkPassBytesThrough) {
  ConfigFile latin1(files_, Charset::kLatin1);
  const std::string path = Write("k=\xC3\xA9\xFF\n");
  ASSERT_TRUE(latin1.OpenConfig(path));
  EXPECT_EQ(latin1.ReadText("k", "0"), "\xC3\xA9\xFF");
}

// A file that opens but cannot be read must not count as open: writing back
// an empty list would wipe every setting.
class UnreadableFiles final : public Files {
 public:
  class File final : public OpenFile {
   public:
    explicit File(bool* replaced) : replaced_(replaced) {}
    bool Writable() const override { return true; }
    std::optional<std::string> ReadAll() override { return std::nullopt; }
    bool ReplaceContent(std::string_view) override { return *replaced_ = true; }

   private:
    bool* replaced_;
  };
  std::unique_ptr<OpenFile> Open(const std::string&) override { return std::make_unique<File>(&replaced); }
  std::unique_ptr<OpenFile> OpenForReading(const std::string& path) override { return Open(path); }
  std::optional<FileStamp> Stamp(const std::string&) override { return std::nullopt; }
  bool CreateEmptyFile(const std::string&) override { return false; }
  bool CreateFile(const std::string&, std::string_view) override { return false; }
  SystemResult RemoveFile(const std::string&) override { return SystemResult::Failed("refused"); }
  SystemResult RenameFile(const std::string&, const std::string&) override {
    return SystemResult::Failed("refused");
  }
  SystemResult FlushFile(const std::string&) override { return SystemResult::Failed("refused"); }
  SystemResult MakeFolders(const std::string&) override { return SystemResult::Failed("refused"); }
  bool RemoveTree(const std::string&) override { return false; }
  std::vector<std::string> ListFolder(const std::string&) override { return {}; }
  bool replaced = false;
};

TEST(ConfigFileFailure, AnUnreadableFileIsNeverWrittenBack) {
  UnreadableFiles files;
  ConfigFile config(files, Charset::kUtf8);
  EXPECT_FALSE(config.OpenConfig("Settings.cfg"));
  config.WriteText("k", "v");
  config.CloseConfig();
  EXPECT_FALSE(files.replaced);
}

}  // namespace
}  // namespace ripwarden
