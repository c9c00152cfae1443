// The Win32 services that have no shared suite: the named mutex, the Run
// key, the settings file on NTFS (as Wine emulates it) and folder sources.
#include <windows.h>
// windows.h renames it to CreateFileW, which is not the interface's name.
#undef CreateFile

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "config/settings_store.h"
#include "platform/win32/data_home.h"
#include "platform/win32/mutex_instance_lock.h"
#include "platform/win32/registry_autostart.h"
#include "platform/win32/win32_drives.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_process_runner.h"
#include "platform/win32/win32_text.h"
#include "temp_folder.h"

namespace ripwarden::testing {
namespace {

using namespace win32_platform;

// A name of the test's own, so that a running program is not disturbed.
std::string TestMutexName() { return "Ripwarden-test-" + std::to_string(::GetCurrentProcessId()); }

TEST(MutexInstanceLockTest, SecondHolderIsRefusedUntilTheFirstReleases) {
  MutexInstanceLock first(TestMutexName());
  MutexInstanceLock second(TestMutexName());
  ASSERT_TRUE(first.Acquire());
  EXPECT_FALSE(second.Acquire());
  first.Release();
  EXPECT_TRUE(second.Acquire());
  second.Release();
  second.Release();  // nothing held: nothing happens
  EXPECT_TRUE(first.Acquire());
}

TEST(MutexInstanceLockTest, AnotherCopyHoldingItRefusesThisOneUntilItEndsInAnyWay) {
  Win32ProcessRunner runner;
  const ChildProcess other = runner.StartProcess(MUTEX_HOLDER, {TestMutexName()}, "");
  ASSERT_NE(other, kNoProcess);
  ASSERT_EQ(runner.ReadOutputLine(other), "y");
  MutexInstanceLock lock(TestMutexName());
  EXPECT_FALSE(lock.Acquire());
  // Killed, as a crash would end it: the system lets the mutex go.
  runner.KillProcess(other);
  ASSERT_TRUE(runner.WaitForExit(other, 10000));
  EXPECT_TRUE(lock.Acquire());
  // And now this copy is the one that refuses the next.
  const ChildProcess next = runner.StartProcess(MUTEX_HOLDER, {TestMutexName()}, "");
  EXPECT_EQ(runner.ReadOutputLine(next), "n");
  runner.KillProcess(next);
}

TEST(RegistryAutostartTest, RegisterWritesTheProgramAndUnregisterRemovesIt) {
  const std::optional<std::string> before = RegistryAutostart::RegisteredPath();
  RegistryAutostart autostart("C:\\Program Files\\Ripwarden\\Ripwarden.exe");
  autostart.Register();
  EXPECT_EQ(RegistryAutostart::RegisteredPath(), "C:\\Program Files\\Ripwarden\\Ripwarden.exe");
  autostart.Unregister();
  EXPECT_EQ(RegistryAutostart::RegisteredPath(), std::nullopt);
  autostart.Unregister();
  // Without a path of its own it registers the running program.
  RegistryAutostart running;
  running.Register();
  EXPECT_EQ(RegistryAutostart::RegisteredPath(), RunningProgramPath());
  EXPECT_TRUE(RunningProgramPath().ends_with(".exe"));
  running.Unregister();
  if (before) RegistryAutostart(*before).Register();
}

class Win32FilesTest : public ::testing::Test {
 protected:
  TempFolder temp_;
  Win32Files files_;
};

TEST_F(Win32FilesTest, SettingsFileIsReplacedWholeAndLeavesNothingBeside) {
  const std::string path = temp_.Write("Settings.cfg", "[Ripping]\r\nSourceDrive = D\r\n");
  auto file = files_.Open(path);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Writable());
  EXPECT_EQ(file->ReadAll(), "[Ripping]\r\nSourceDrive = D\r\n");
  ASSERT_TRUE(file->ReplaceContent("[Ripping]\r\nSourceDrive = E\r\n"));
  EXPECT_EQ(temp_.Read("Settings.cfg"), "[Ripping]\r\nSourceDrive = E\r\n");
  // The handle still reads and writes the file now in place.
  EXPECT_EQ(file->ReadAll(), "[Ripping]\r\nSourceDrive = E\r\n");
  ASSERT_TRUE(file->ReplaceContent("x"));
  EXPECT_EQ(temp_.Read("Settings.cfg"), "x");
  EXPECT_EQ(files_.ListFolder(temp_.path()), std::vector<std::string>{"Settings.cfg"});
}

// The settings file is replaced while a writer is killed at random moments:
// afterwards it must always hold a whole old or new version, and the next
// write clears what killed writers left beside it.
TEST_F(Win32FilesTest, SettingsFileSurvivesTheWriterBeingKilledAtAnyMoment) {
  std::string content = "[Ripping]\r\nDestination = /old/\r\n[Padding]\r\n";
  for (int i = 0; i < 400; ++i) content += "Key" + std::to_string(i) + " = " + std::string(40, 'x') + "\r\n";
  const std::string path = temp_.Write("Data/Config/Settings.cfg", content);
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> delay_ms(0, 20);
  Win32ProcessRunner runner;
  int saw_old = 0;
  int saw_new = 0;
  for (int run = 0; run < 60; ++run) {
    const ChildProcess writer = runner.StartProcess(SETTINGS_REWRITER, {path}, "");
    ASSERT_NE(writer, kNoProcess);
    ASSERT_EQ(runner.ReadOutputLine(writer), "writing");
    ::Sleep(static_cast<DWORD>(delay_ms(random)));
    runner.KillProcess(writer);
    ASSERT_TRUE(runner.WaitForExit(writer, 10000));
    ASSERT_EQ(runner.EndingSignal(writer), 9) << "the writer ended by itself";
    runner.CloseProcess(writer);

    SettingsStore store(files_, Charset::kUtf8, path);
    const std::string destination = store.ReadSetting("Ripping", "Destination");
    ASSERT_TRUE(destination == "/old/" || destination == "/new/") << "run " << run << ": " << destination;
    (destination == "/old/" ? saw_old : saw_new)++;
    ASSERT_EQ(store.ReadSetting("Padding", "Key399"), std::string(40, 'x'));
  }
  EXPECT_GT(saw_old, 0);
  EXPECT_GT(saw_new, 0);
  SettingsStore(files_, Charset::kUtf8, path).WriteSetting("Ripping", "Destination", "/last/");
  EXPECT_EQ(files_.ListFolder(temp_.Path("Data/Config")), std::vector<std::string>{"Settings.cfg"});
}

TEST_F(Win32FilesTest, ReadOnlyFileIsReadButNeverReplaced) {
  const std::string path = temp_.Write("Settings.cfg", "old");
  ASSERT_TRUE(::SetFileAttributesW(Utf8Path(path).c_str(), FILE_ATTRIBUTE_READONLY));
  auto file = files_.Open(path);
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->Writable());
  EXPECT_EQ(file->ReadAll(), "old");
  EXPECT_FALSE(file->ReplaceContent("new"));
  EXPECT_EQ(temp_.Read("Settings.cfg"), "old");
  ::SetFileAttributesW(Utf8Path(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32FilesTest, AnsiFileIsReadInItsCodePageAndWrittenBackInIt) {
  // "Caf\xE9" is "Café" in Windows-1252, the ANSI code page of an English system.
  ASSERT_EQ(::GetACP(), 1252u) << "the test assumes Windows-1252";
  const std::string path = temp_.Write("Settings.cfg", "Destination = C:\\Caf\xE9\\\r\n");
  auto file = files_.Open(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadAll(), "Destination = C:\\Caf\xC3\xA9\\\r\n");
  ASSERT_TRUE(file->ReplaceContent("Destination = D:\\Caf\xC3\xA9\\\r\n"));
  EXPECT_EQ(temp_.Read("Settings.cfg"), "Destination = D:\\Caf\xE9\\\r\n");
  // A character the code page lacks makes the file UTF-8 from then on.
  ASSERT_TRUE(file->ReplaceContent("Destination = D:\\\xE6\xBC\xA2\\\r\n"));
  EXPECT_EQ(temp_.Read("Settings.cfg"), "Destination = D:\\\xE6\xBC\xA2\\\r\n");
  // Held open, the file lets others read it only.
  EXPECT_EQ(files_.Open(path), nullptr);
  file.reset();
  EXPECT_EQ(files_.Open(path)->ReadAll(), "Destination = D:\\\xE6\xBC\xA2\\\r\n");
}

TEST_F(Win32FilesTest, NewFilesAndRenamesNeverReplaceWhatIsThere) {
  const std::string path = temp_.Path("Data/Config/Presets.cfg");
  ASSERT_TRUE(files_.CreateFile(path, "first"));
  EXPECT_FALSE(files_.CreateFile(path, "second"));
  EXPECT_EQ(temp_.Read("Data/Config/Presets.cfg"), "first");
  const std::string other = temp_.Write("other.cfg", "other");
  EXPECT_FALSE(files_.RenameFile(other, path));
  EXPECT_EQ(temp_.Read("Data/Config/Presets.cfg"), "first");
  EXPECT_TRUE(files_.RenameFile(other, temp_.Path("Data/renamed.cfg")));
  EXPECT_EQ(temp_.Read("Data/renamed.cfg"), "other");
  EXPECT_FALSE(FileExists(other));
  EXPECT_TRUE(files_.CreateEmptyFile(path));
  EXPECT_EQ(temp_.Read("Data/Config/Presets.cfg"), "first");
}

// A finished rip is flushed to the disk before it is named, and the name
// never replaces an earlier rip's file.
TEST_F(Win32FilesTest, FlushFileTakesAnExistingFileOnlyAndRenameStillReplacesNothing) {
  const std::string rip = temp_.Write("Rips/.MY_MOVIE.mp4.part", "frames");
  EXPECT_TRUE(files_.FlushFile(rip));
  EXPECT_FALSE(files_.FlushFile(temp_.Path("Rips/missing.mp4")));
  EXPECT_FALSE(files_.FlushFile(temp_.Path("Missing/missing.mp4")));
  const std::string earlier = temp_.Write("Rips/MY_MOVIE.mp4", "earlier rip");
  EXPECT_FALSE(files_.RenameFile(rip, earlier));
  EXPECT_EQ(temp_.Read("Rips/MY_MOVIE.mp4"), "earlier rip");
  EXPECT_EQ(temp_.Read("Rips/.MY_MOVIE.mp4.part"), "frames");
}

// A finished rip that cannot be named must say why in the log, in the
// system's words, without the full stop and line end they come with.
TEST_F(Win32FilesTest, FailuresCarryTheSystemsReason) {
  const std::string rip = temp_.Write("Rips/.MY_MOVIE.mp4.part", "frames");
  const std::string earlier = temp_.Write("Rips/MY_MOVIE.mp4", "earlier rip");
  const std::string missing = temp_.Path("Rips/missing.mp4");
  const SystemResult failures[] = {files_.RenameFile(rip, earlier),
                                   files_.RenameFile(missing, temp_.Path("Rips/other.mp4")),
                                   files_.RemoveFile(missing),
                                   files_.FlushFile(missing),
                                   files_.MakeFolders(earlier + "\\Logs"),
                                   files_.MakeFolders(earlier)};
  for (const SystemResult& failure : failures) {
    EXPECT_FALSE(failure);
    EXPECT_FALSE(failure.reason().empty());
    EXPECT_FALSE(failure.reason().ends_with('\n') || failure.reason().ends_with('.')) << failure.reason();
  }
  EXPECT_EQ(failures[0].reason(), SystemMessage(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(failures[2].reason(), SystemMessage(ERROR_FILE_NOT_FOUND));
  EXPECT_NE(failures[0].reason(), failures[2].reason());
  EXPECT_EQ(temp_.Read("Rips/MY_MOVIE.mp4"), "earlier rip");
  EXPECT_EQ(temp_.Read("Rips/.MY_MOVIE.mp4.part"), "frames");

  for (const SystemResult& success :
       {files_.FlushFile(rip), files_.RenameFile(rip, temp_.Path("Rips/MY_MOVIE (2).mp4")),
        files_.MakeFolders(temp_.Path("Rips/Logs")), files_.RemoveFile(earlier)}) {
    EXPECT_TRUE(success);
    EXPECT_EQ(success.reason(), "");
  }
  EXPECT_EQ(temp_.Read("Rips/MY_MOVIE (2).mp4"), "frames");
  EXPECT_FALSE(FileExists(earlier));
}

std::wstring RootOf(std::wstring_view path) { return std::wstring(path.substr(0, PathRootLength(path))); }

TEST(PathRootLengthTest, RootIsTheDriveTheShareOrTheLongFormsOfThem) {
  EXPECT_EQ(RootOf(L"\\\\server\\share\\a\\b"), L"\\\\server\\share");
  EXPECT_EQ(RootOf(L"\\\\?\\C:\\a"), L"\\\\?\\C:");
  EXPECT_EQ(RootOf(L"\\\\?\\UNC\\server\\share\\a"), L"\\\\?\\UNC\\server\\share");
  EXPECT_EQ(RootOf(L"\\\\?\\unc\\server\\share"), L"\\\\?\\unc\\server\\share");
  EXPECT_EQ(RootOf(L"\\\\.\\C:\\a"), L"\\\\.\\C:");
  EXPECT_EQ(RootOf(L"C:\\a"), L"C:");
  EXPECT_EQ(RootOf(L"a\\b"), L"");
  EXPECT_EQ(RootOf(L"\\a\\b"), L"");
}

// "\\?\" before a path lifts the length limit; the folders below it are made
// as under any drive.
TEST_F(Win32FilesTest, FoldersAreMadeUnderALongFormPath) {
  std::string folder = temp_.path();
  std::replace(folder.begin(), folder.end(), '/', '\\');
  ASSERT_EQ(folder.substr(1, 2), ":\\") << folder;
  const std::string long_form = "\\\\?\\" + folder;
  EXPECT_TRUE(files_.MakeFolders(long_form + "\\Ripwarden\\Data\\Config"));
  EXPECT_TRUE(files_.Stamp(temp_.Path("Ripwarden/Data/Config")));
  EXPECT_TRUE(files_.CreateFile(long_form + "\\Other\\Data\\Config\\Settings.cfg", "made"));
  EXPECT_EQ(temp_.Read("Other/Data/Config/Settings.cfg"), "made");
  EXPECT_TRUE(files_.MakeFolders(long_form + "\\Ripwarden\\Data\\Config")) << "there already";
  temp_.Write("file", "");
  EXPECT_FALSE(files_.MakeFolders(long_form + "\\file\\below")) << "a file is in the way";
}

// A roaming folder redirected to a server, or RIPWARDEN_HOME on a share:
// scripts/test-windows.sh offers \\localhost\ripwarden, a folder of the host's.
TEST_F(Win32FilesTest, FoldersAreMadeUnderANetworkShare) {
  const char* share = std::getenv("RIPWARDEN_TEST_SHARE");
  if (share == nullptr) GTEST_SKIP() << "no network share was set up";
  const std::string top = std::string(share) + "\\test-" + std::to_string(::GetCurrentProcessId());
  const std::string server_share = std::string(share).substr(2);
  EXPECT_TRUE(files_.MakeFolders(top + "\\Ripwarden\\Data\\Config"));
  EXPECT_TRUE(files_.Stamp(top + "\\Ripwarden\\Data\\Config"));
  EXPECT_TRUE(files_.CreateFile(top + "\\Home\\Data\\Config\\Settings.cfg", "on the share"));
  EXPECT_TRUE(files_.MakeFolders("\\\\?\\UNC\\" + server_share + "\\test-" +
                                 std::to_string(::GetCurrentProcessId()) + "\\Long\\Form"));
  EXPECT_TRUE(files_.Stamp(top + "\\Long\\Form"));
  EXPECT_EQ(ReadFileBytes(top + "\\Home\\Data\\Config\\Settings.cfg"), "on the share");
  EXPECT_TRUE(files_.RemoveTree(top));
}

TEST_F(Win32FilesTest, RemoveTreeTakesReadOnlyFilesAndLeavesALinkedFolderAlone) {
  const std::string outside = temp_.Write("outside/keep.txt", "kept");
  temp_.Write("rip/hb.1/pass.log", "x");
  const std::string locked = temp_.Write("rip/locked.txt", "x");
  ::SetFileAttributesW(Utf8Path(locked).c_str(), FILE_ATTRIBUTE_READONLY);
  // Wine makes it a link of the host's, which its folder listing may not show.
  ::CreateSymbolicLinkW(Utf8Path(temp_.Path("rip/link")).c_str(), Utf8Path(temp_.Path("outside")).c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY);
  std::vector<std::string> names = files_.ListFolder(temp_.Path("rip"));
  std::erase(names, "link");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"hb.1", "locked.txt"}));
  EXPECT_TRUE(files_.RemoveTree(temp_.Path("rip")));
  EXPECT_FALSE(FileExists(temp_.Path("rip")));
  EXPECT_EQ(ReadFileBytes(outside), "kept");
  EXPECT_TRUE(files_.RemoveTree(temp_.Path("rip")));
  EXPECT_TRUE(files_.ListFolder(temp_.Path("rip")).empty());
}

TEST_F(Win32FilesTest, StampOfABareNameIsTheWorkingFoldersProgramStampSearches) {
  EXPECT_EQ(files_.Stamp("cmd.exe"), std::nullopt) << "not in the working folder";
  const auto program = files_.ProgramStamp("cmd");
  ASSERT_TRUE(program);
  EXPECT_FALSE(program->is_folder);
  EXPECT_GT(program->size, 0u);
}

TEST(Win32DrivesTest, FolderHoldingVideoTsReadsAsDiscNamedAfterIt) {
  TempFolder temp;
  temp.Write("MY MOVIE/video_ts/VIDEO_TS.IFO", "ifo");
  temp.Write("Empty/readme.txt", "");
  Win32Drives drives;
  const std::string folder = temp.Path("MY MOVIE");
  EXPECT_EQ(drives.QueryVolume(folder), (VolumeInfo{"folder", "MY MOVIE"}));
  EXPECT_EQ(drives.QueryVolume(folder + "\\"), (VolumeInfo{"folder", "MY MOVIE"}));
  EXPECT_EQ(drives.EncoderInputPath(folder), folder);
  EXPECT_EQ(drives.QueryVolume(temp.Path("Empty")), std::nullopt);
  EXPECT_EQ(drives.QueryVolume("MY MOVIE"), std::nullopt) << "a relative path names no source";
  EXPECT_EQ(drives.EncoderInputPath("d:"), "D:\\VIDEO_TS");
  EXPECT_EQ(drives.EncoderInputPath("E"), "E:\\VIDEO_TS");
  // The system drive holds a file system; its letter reads like a disc's.
  EXPECT_TRUE(drives.QueryVolume("C"));
  drives.EjectDrive(folder);
  drives.LoadDrive("Q:");
  EXPECT_EQ(drives.QueryVolume(folder), (VolumeInfo{"folder", "MY MOVIE"}));
}

TEST(Win32DrivesTest, CdromDriveIsListedAndReadWithItsLabel) {
  // scripts/test-windows.sh makes the drive: a folder Wine offers as a CD-ROM.
  const char* letter = std::getenv("RIPWARDEN_TEST_CDROM");
  if (letter == nullptr) GTEST_SKIP() << "no CD-ROM drive was set up";
  const std::string drive = letter;
  Win32Drives drives;
  EXPECT_EQ(drives.QueryVolume(drive), (VolumeInfo{"CDFS", "MY MOVIE"}));
  EXPECT_EQ(drives.QueryVolume(drive + ":"), (VolumeInfo{"CDFS", "MY MOVIE"}));
  const std::vector<std::string> listed = drives.ListDrives();
  EXPECT_NE(std::find(listed.begin(), listed.end(), drive + ": MY MOVIE"), listed.end());
  EXPECT_TRUE(std::none_of(listed.begin(), listed.end(), [](const std::string& entry) {
    return entry.starts_with("C:") || entry.starts_with("Z:");
  })) << "a hard disk is no optical drive";
  const std::string input = drives.EncoderInputPath(drive);
  EXPECT_EQ(input, drive + ":\\VIDEO_TS");
  EXPECT_TRUE(Win32Files().Stamp(input + "\\VIDEO_TS.IFO"));
  // Wine's drive has no tray: the requests fail, silently, and change nothing.
  drives.EjectDrive(drive);
  drives.LoadDrive(drive);
  EXPECT_EQ(drives.QueryVolume(drive), (VolumeInfo{"CDFS", "MY MOVIE"}));
}

TEST(DataHomeTest, NewUserGetsTheShippedDefaultsAndKeepsTheirOwnFromThenOn) {
  TempFolder temp;
  temp.Write("Program/Data/Config/Settings.cfg", "[Ripping]\r\nSourceDrive = D\r\n");
  temp.Write("Program/Data/Config/Presets.cfg", "shipped presets");
  const std::string defaults = temp.Path("Program/Data/Config");
  // A user who kept presets from before, but whose settings were lost.
  temp.Write("Home/Data/Config/Presets.cfg", "own presets");
  ASSERT_TRUE(InstallDefaults(temp.Path("Home"), defaults));
  EXPECT_EQ(temp.Read("Home/Data/Config/Settings.cfg"), "[Ripping]\r\nSourceDrive = D\r\n");
  EXPECT_EQ(temp.Read("Home/Data/Config/Presets.cfg"), "own presets");

  temp.Write("Home/Data/Config/Settings.cfg", "changed");
  EXPECT_FALSE(InstallDefaults(temp.Path("Home"), defaults));
  EXPECT_EQ(temp.Read("Home/Data/Config/Settings.cfg"), "changed");

  ASSERT_TRUE(InstallDefaults(temp.Path("Other"), defaults));
  EXPECT_EQ(temp.Read("Other/Data/Config/Presets.cfg"), "shipped presets");
  EXPECT_FALSE(InstallDefaults(temp.Path("Third"), temp.Path("Missing"))) << "nothing to copy";
}

TEST(DataHomeTest, HomeIsUnderTheRoamingFolderUnlessChosenAndDefaultsBesideTheProgram) {
  ASSERT_EQ(::_putenv_s("RIPWARDEN_HOME", ""), 0);
  const char* roaming = std::getenv("APPDATA");
  ASSERT_NE(roaming, nullptr);
  EXPECT_EQ(ResolveHome(), std::string(roaming) + "\\Ripwarden");
  ASSERT_EQ(::_putenv_s("RIPWARDEN_HOME", "D:\\Portable"), 0);
  EXPECT_EQ(ResolveHome(), "D:\\Portable");
  ::_putenv_s("RIPWARDEN_HOME", "");
  const std::string program = RunningProgramPath();
  EXPECT_EQ(ShippedDefaultsFolder(), program.substr(0, program.find_last_of('\\')) + "\\Data\\Config");
  EXPECT_TRUE(VideosFolder().ends_with("\\")) << VideosFolder();
  EXPECT_TRUE(Win32Files().Stamp(VideosFolder())) << "the Videos folder is named but missing";
}

}  // namespace
}  // namespace ripwarden::testing
