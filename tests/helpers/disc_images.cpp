#include "helpers/disc_images.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace ripwarden::testing {

namespace {

constexpr std::size_t kSector = 2048;

void PutBigEndian32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
}

void PutBigEndian16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value >> 8);
  bytes[at + 1] = static_cast<char>(value);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Built(int status, const std::string& tool, const std::string& image) {
  if (status == 127) {
    std::fprintf(stderr, "%s is missing: run scripts/install-deps.sh test\n", tool.c_str());
    return {};
  }
  if (status != 0) {
    std::fprintf(stderr, "%s failed with exit code %d\n", tool.c_str(), status);
    return {};
  }
  return image;
}

}  // namespace

int RunTool(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return 127;
  if (pid == 0) {
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, STDOUT_FILENO);
    ::execvp(pointers[0], pointers.data());
    _exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void WriteMinimalVideoTs(const std::string& video_ts_folder) {
  std::filesystem::create_directories(video_ts_folder);
  // Video manager: two sectors of information (the title search table in the
  // second), no menu, then its backup copy: sectors 0 to 3.
  std::string manager(2 * kSector, '\0');
  manager.replace(0, 12, "DVDVIDEO-VMG");
  PutBigEndian32(manager, 12, 3);       // last sector of the manager set
  PutBigEndian32(manager, 28, 1);       // last sector of the information file
  PutBigEndian16(manager, 62, 1);       // title sets
  PutBigEndian32(manager, 196, 1);      // sector of the title search table
  PutBigEndian16(manager, kSector, 1);  // titles
  PutBigEndian32(manager, kSector + 4, 8 + 12 - 1);
  manager[kSector + 8] = 0x3c;               // playback type
  manager[kSector + 9] = 1;                  // angles
  PutBigEndian16(manager, kSector + 10, 1);  // chapters
  manager[kSector + 14] = 1;                 // title set number
  manager[kSector + 15] = 1;                 // title within the set
  PutBigEndian32(manager, kSector + 16, 4);  // title set starts after the manager
  WriteBytes(video_ts_folder + "/VIDEO_TS.IFO", manager);
  WriteBytes(video_ts_folder + "/VIDEO_TS.BUP", manager);
  // Title set: two sectors of information, one of video, two of backup.
  std::string title_set(2 * kSector, '\0');
  title_set.replace(0, 12, "DVDVIDEO-VTS");
  PutBigEndian32(title_set, 12, 4);   // last sector of the title set
  PutBigEndian32(title_set, 28, 1);   // last sector of the information file
  PutBigEndian32(title_set, 196, 2);  // first sector of the title video
  WriteBytes(video_ts_folder + "/VTS_01_0.IFO", title_set);
  WriteBytes(video_ts_folder + "/VTS_01_0.BUP", title_set);
  WriteBytes(video_ts_folder + "/VTS_01_1.VOB", std::string(kSector, '\0'));
}

std::string MakeDvdImage(const std::string& folder, const std::string& label) {
  const std::string content = folder + "/dvd-content";
  WriteMinimalVideoTs(content + "/VIDEO_TS");
  std::filesystem::create_directories(content + "/AUDIO_TS");
  const std::string image = folder + "/dvd.iso";
  std::vector<std::string> argv{"genisoimage", "-quiet", "-dvd-video", "-o", image};
  if (!label.empty()) argv.insert(argv.end(), {"-V", label});
  argv.push_back(content);
  return Built(RunTool(argv), "genisoimage", image);
}

std::string MakeIsoImage(const std::string& folder, const std::string& label) {
  const std::string content = folder + "/iso-content";
  std::filesystem::create_directories(content);
  WriteBytes(content + "/readme.txt", "not a film\n");
  const std::string image = folder + "/plain.iso";
  return Built(
      RunTool({"xorriso", "-report_about", "SORRY", "-outdev", image, "-volid", label, "-map", content, "/"}),
      "xorriso", image);
}

std::string MakeUdfImage(const std::string& folder, const std::string& label) {
  const std::string image = folder + "/udf.img";
  WriteBytes(image, std::string(2 * 1024 * 1024, '\0'));
  return Built(RunTool({"mkudffs", "--media-type=dvd", "--lvid=" + label, image}), "mkudffs", image);
}

}  // namespace ripwarden::testing
