#include "config/settings_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "platform/linux/linux_files.h"
#include "temp_folder.h"

extern char** environ;

namespace ripwarden {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
using testing::Utf16File;

class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string SettingsPath() const { return folder_.Path("Data/Config/Settings.cfg"); }
  SettingsStore Store() { return SettingsStore(files_, Charset::kUtf8, SettingsPath()); }

  TempFolder folder_;
  linux_platform::LinuxFiles files_;
};

TEST_F(SettingsStoreTest, TellsAMissingFileFromAMissingKeyFromAStoredValue) {
  SettingsStore store = Store();
  EXPECT_EQ(store.ReadSetting("Other", "AutoRip"), "");
  store.WriteSetting("Other", "AutoRip", "1");
  EXPECT_FALSE(testing::FileExists(SettingsPath()));

  folder_.Write("Data/Config/Settings.cfg", "[Other]\r\nStartMinimised =  00 \r\n");
  EXPECT_EQ(store.ReadSetting("Other", "AutoRip"), "0");
  EXPECT_EQ(store.ReadSetting("Ripping", "AutoRip"), "0");
  EXPECT_EQ(store.ReadSetting("Other", "StartMinimised"), "00");

  store.WriteSetting("Other", "AutoRip", "1");
  EXPECT_EQ(store.ReadSetting("Other", "AutoRip"), "1");
  EXPECT_EQ(ReadFileBytes(SettingsPath()), "[Other]\r\nStartMinimised = 00 \r\nAutoRip = 1\r\n");
}

// A key named in the code but missing from the shipped file would read as
// "0" for every new user, with nothing to say it is wrong.
TEST(SettingKeys, EveryNamedSettingIsInTheShippedFile) {
  linux_platform::LinuxFiles files;
  ConfigFile shipped(files, Charset::kUtf8);
  ASSERT_TRUE(shipped.OpenConfig(SHIPPED_CONFIG "/Settings.cfg"));
  for (const SettingKey& named : setting::kEverySetting) {
    ASSERT_TRUE(shipped.SelectGroup(named.group)) << named.group;
    EXPECT_NE(shipped.ReadText(named.key, "missing"), "missing") << named.group << "/" << named.key;
  }
}

TEST_F(SettingsStoreTest, WritesAMissingGroupAtTheEnd) {
  folder_.Write("Data/Config/Settings.cfg", "[Ripping]\nSourceDrive=sr0\n");
  SettingsStore store = Store();
  store.WriteSetting("Other", "EjectOnFinish", "1");
  store.WriteSetting("ripping", "SOURCEDRIVE", "sr1");
  EXPECT_EQ(ReadFileBytes(SettingsPath()),
            "[Ripping]\r\nSOURCEDRIVE = sr1\r\n[Other]\r\nEjectOnFinish = 1\r\n");
  // A setting newer than the file reads as the program did without it.
  EXPECT_EQ(store.ReadSetting(setting::kChapterMarkers), "1");
  EXPECT_EQ(store.ReadSetting(setting::kAudioLanguages), "");
  EXPECT_EQ(store.ReadSetting("Ripping", "ChapterMarkers"), "0");
  store.WriteSetting(setting::kChapterMarkers, "0");
  EXPECT_EQ(store.ReadSetting(setting::kChapterMarkers), "0");
}

TEST_F(SettingsStoreTest, UsesTheDataFolderUnderTheWorkingDirectory) {
  folder_.Write("Data/Config/Settings.cfg", "[HandBrake]\nLocation = /usr/bin/HandBrakeCLI\n");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder_.path());
  SettingsStore store(files_, Charset::kUtf8);
  const std::string location = store.ReadSetting("HandBrake", "Location");
  store.Close();
  std::filesystem::current_path(previous);
  EXPECT_EQ(location, "/usr/bin/HandBrakeCLI");
}

TEST_F(SettingsStoreTest, ReadOnlySettingsReadButChangesAreLost) {
  const std::string content = "[Other]\nAutoRip = 1\n";
  folder_.Write("Data/Config/Settings.cfg", content);
  ASSERT_EQ(::chmod(SettingsPath().c_str(), 0444), 0);
  SettingsStore store = Store();
  EXPECT_EQ(store.ReadSetting("Other", "AutoRip"), "1");
  EXPECT_EQ(store.WriteSetting("Other", "AutoRip", "0"), SettingWrite::kNotWritable);
  EXPECT_EQ(store.ReadSetting("Other", "AutoRip"), "1");
  EXPECT_EQ(ReadFileBytes(SettingsPath()), content);
}

TEST_F(SettingsStoreTest, ChangesAreLostWhenTheFolderRefusesNewFiles) {
  const std::string content = "[Other]\nAutoRip = 1\n";
  folder_.Write("Data/Config/Settings.cfg", content);
  ASSERT_EQ(::chmod(folder_.Path("Data/Config").c_str(), 0555), 0);
  SettingsStore store = Store();
  store.WriteSetting("Other", "AutoRip", "0");
  ::chmod(folder_.Path("Data/Config").c_str(), 0755);
  if (::geteuid() != 0) {  // the superuser may write anyway
    EXPECT_EQ(ReadFileBytes(SettingsPath()), content);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path("Data/Config")), {}), 1);
}

// What a user may do to the file while the program runs. Reading never
// writes; the next change lands in a whole file made from the shipped
// settings.
TEST_F(SettingsStoreTest, ALostFileIsMadeAgainOnTheNextChange) {
  const std::string defaults =
      folder_.Write("shipped/Settings.cfg", "[Ripping]\r\nSourceDrive = sr0\r\n[Other]\r\nAutoRip = 0\r\n");
  const std::vector<std::pair<std::string, std::function<void()>>> faults = {
      {"deleted", [&] { std::filesystem::remove(SettingsPath()); }},
      {"folder removed", [&] { std::filesystem::remove_all(folder_.Path("Data")); }},
  };
  for (const auto& [name, fault] : faults) {
    SCOPED_TRACE(name);
    folder_.Write("Data/Config/Settings.cfg", "[Ripping]\nSourceDrive = /mine.iso\n");
    SettingsStore store(files_, Charset::kUtf8, SettingsPath(), defaults);
    EXPECT_EQ(store.ReadSetting("Ripping", "SourceDrive"), "/mine.iso");
    fault();
    const std::string left = ReadFileBytes(SettingsPath());
    EXPECT_EQ(store.ReadSetting("Ripping", "SourceDrive"), "");
    EXPECT_EQ(store.ReadSetting("Other", "AutoRip"), "");
    store.Close();
    EXPECT_TRUE(ReadFileBytes(SettingsPath()) == left) << "reading wrote";

    EXPECT_EQ(store.WriteSetting("Other", "AutoRip", "1"), SettingWrite::kStored);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "[Ripping]\r\nSourceDrive = sr0\r\n[Other]\r\nAutoRip = 1\r\n");
  }
}

// What cannot be read may be the user's settings in a form not known here:
// a change must never replace it with the shipped ones.
TEST_F(SettingsStoreTest, AFileThatCannotBeReadIsNeverReplaced) {
  const std::string defaults = folder_.Write("shipped/Settings.cfg", "[Other]\r\nAutoRip = 0\r\n");
  std::string noise(10 << 20, '\0');
  std::mt19937 random(7);
  for (char& byte : noise) byte = static_cast<char>(random());
  const std::vector<std::pair<std::string, std::string>> unreadable = {
      {"noise", noise},
      {"zeros", std::string(64, '\0')},
      {"odd byte count", Utf16File(u"[Other]\r\n") + "x"},
      {"lone surrogate", Utf16File(u"[Other]\r\nk = \xD83C\r\n")},
      {"no mark", Utf16File(u"[Other]\r\n").substr(2)},
  };
  for (const auto& [name, content] : unreadable) {
    SCOPED_TRACE(name);
    folder_.Write("Data/Config/Settings.cfg", content);
    SettingsStore store(files_, Charset::kUtf8, SettingsPath(), defaults);
    EXPECT_EQ(store.ReadSetting("Other", "AutoRip"), "");
    EXPECT_EQ(store.WriteSetting("Other", "AutoRip", "1"), SettingWrite::kNotReadable);
    EXPECT_TRUE(ReadFileBytes(SettingsPath()) == content) << "the file was replaced";
  }

  // Nor is a named pipe, which is not waited on either.
  std::filesystem::remove(SettingsPath());
  ASSERT_EQ(::mkfifo(SettingsPath().c_str(), 0644), 0);
  SettingsStore store(files_, Charset::kUtf8, SettingsPath(), defaults);
  EXPECT_EQ(store.ReadSetting("Other", "AutoRip"), "");
  EXPECT_EQ(store.WriteSetting("Other", "AutoRip", "1"), SettingWrite::kNotReadable);
  EXPECT_TRUE(std::filesystem::is_fifo(SettingsPath()));
}

// Notepad's "Unicode" and its big-endian sibling: read, and written back in
// the same encoding with every other line kept.
TEST_F(SettingsStoreTest, AUtf16FileIsReadAndWrittenBackAsUtf16) {
  for (const bool big_endian : {false, true}) {
    SCOPED_TRACE(big_endian ? "big-endian" : "little-endian");
    folder_.Write("Data/Config/Settings.cfg",
                  Utf16File(u"[Ripping]\r\nDestination = D:\\Films de Jos\u00E9\U0001F3AC\\\r\n"
                            u"[HandBrake]\r\nLocation = C:\\HB\\HandBrakeCLI.exe\r\n",
                            big_endian));
    SettingsStore store = Store();
    EXPECT_EQ(store.ReadSetting("Ripping", "Destination"), "D:\\Films de Jos\u00E9\U0001F3AC\\");
    EXPECT_EQ(store.ReadSetting("HandBrake", "Location"), "C:\\HB\\HandBrakeCLI.exe");
    EXPECT_EQ(store.WriteSetting("Ripping", "Destination", "E:\\\u00C9t\u00E9\\"), SettingWrite::kStored);
    EXPECT_EQ(ReadFileBytes(SettingsPath()),
              Utf16File(u"[Ripping]\r\nDestination = E:\\\u00C9t\u00E9\\\r\n"
                        u"[HandBrake]\r\nLocation = C:\\HB\\HandBrakeCLI.exe\r\n",
                        big_endian));
  }
}

// The settings file is replaced while a writer is killed at random moments:
// afterwards it must always parse and hold a whole old or new version.
TEST_F(SettingsStoreTest, SurvivesTheWriterBeingKilledAtAnyMoment) {
  std::string content = "[Ripping]\r\nDestination = /old/\r\n[Padding]\r\n";
  constexpr int kPadding = 400;
  for (int i = 0; i < kPadding; ++i)
    content += "Key" + std::to_string(i) + " = " + std::string(40, 'x') + "\r\n";
  folder_.Write("Data/Config/Settings.cfg", content);

  std::mt19937 random(12345);
  std::uniform_int_distribution<int> delay_us(0, 3000);
  const std::string path = SettingsPath();
  int saw_old = 0;
  int saw_new = 0;
  for (int run = 0; run < 200; ++run) {
    char* argv[] = {const_cast<char*>(SETTINGS_REWRITER), const_cast<char*>(path.c_str()), nullptr};
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], STDOUT_FILENO);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, SETTINGS_REWRITER, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    char byte = 0;
    const bool started = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(started && WIFSIGNALED(status)) << "the writer ended by itself";

    SettingsStore store = Store();
    const std::string destination = store.ReadSetting("Ripping", "Destination");
    ASSERT_TRUE(destination == "/old/" || destination == "/new/") << "run " << run << ": " << destination;
    (destination == "/old/" ? saw_old : saw_new)++;
    ASSERT_EQ(store.ReadSetting("Padding", "Key" + std::to_string(kPadding - 1)), std::string(40, 'x'));
  }
  // Both versions turned up, so the writer really was interrupted mid-stream.
  EXPECT_GT(saw_old, 0);
  EXPECT_GT(saw_new, 0);
  // The next write clears what killed writers left behind.
  Store().WriteSetting("Ripping", "Destination", "/last/");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path("Data/Config")), {}), 1);
}

// A finished rip that cannot be named must say why in the log: each failing
// call hands on the system's own words, and a success none.
TEST(LinuxFilesTest, FailuresCarryTheSystemsReason) {
  TempFolder folder;
  linux_platform::LinuxFiles files;
  const std::string rip = folder.Write("Rips/.MY_MOVIE.mp4.part", "frames");
  const std::string earlier = folder.Write("Rips/MY_MOVIE.mp4", "earlier rip");

  const SystemResult onto_existing = files.RenameFile(rip, earlier);
  EXPECT_FALSE(onto_existing);
  EXPECT_EQ(onto_existing.reason(), std::strerror(EEXIST));
  EXPECT_EQ(folder.Read("Rips/MY_MOVIE.mp4"), "earlier rip");
  EXPECT_EQ(folder.Read("Rips/.MY_MOVIE.mp4.part"), "frames");

  const std::string missing = folder.Path("Rips/missing.mp4");
  EXPECT_EQ(files.RenameFile(missing, folder.Path("Rips/other.mp4")).reason(), std::strerror(ENOENT));
  EXPECT_EQ(files.RemoveFile(missing).reason(), std::strerror(ENOENT));
  EXPECT_EQ(files.FlushFile(missing).reason(), std::strerror(ENOENT));
  EXPECT_FALSE(files.RemoveFile(missing));

  const SystemResult under_file = files.MakeFolders(earlier + "/Logs");
  EXPECT_FALSE(under_file);
  EXPECT_EQ(under_file.reason(), std::strerror(ENOTDIR));
  EXPECT_EQ(files.MakeFolders(earlier).reason(), std::strerror(EEXIST)) << "a file where the folder goes";

  for (const SystemResult& success :
       {files.FlushFile(rip), files.RenameFile(rip, folder.Path("Rips/MY_MOVIE (2).mp4")),
        files.MakeFolders(folder.Path("Rips/Logs")), files.RemoveFile(earlier)}) {
    EXPECT_TRUE(success);
    EXPECT_EQ(success.reason(), "");
  }
  EXPECT_EQ(folder.Read("Rips/MY_MOVIE (2).mp4"), "frames");
  EXPECT_FALSE(testing::FileExists(earlier));
}

}  // namespace
}  // namespace ripwarden
