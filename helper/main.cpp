#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "helper/dvd_copier.h"
#include "helper/libdvdread_source.h"
#include "helper/media_duration.h"
#include "helper/output_file.h"

namespace ripwarden::helper {

namespace {

constexpr int kUsageError = 64;

// The caller reads each line as it comes.
void Say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

// The arguments after the program's name, in UTF-8 on every system.
int HelperMain(const std::vector<std::string>& arguments) {
  std::string why;
  if (arguments.size() == 3 && arguments[0] == "copy") {
    auto source = OpenDvdSource(arguments[1], why);
    if (!source) {
      Say("Error: " + why);
      return kCopyUnreadableSource;
    }
    return CopyDvd(*source, Utf8Path(arguments[2]), Say);
  }
  if (arguments.size() == 2 && arguments[0] == "duration") {
    const auto seconds = MediaDuration(arguments[1], why);
    if (!seconds) {
      Say("Error: " + why);
      return 1;
    }
    char line[64];
    std::snprintf(line, sizeof line, "Duration: %.3f", *seconds);
    Say(line);
    return 0;
  }
  Say("Usage: ripwarden-helper copy SOURCE FOLDER | ripwarden-helper duration FILE");
  return kUsageError;
}

}  // namespace ripwarden::helper

#ifndef _WIN32
int main(int argc, char** argv) {
  ripwarden::helper::RestoreStopSignals();
  return ripwarden::helper::HelperMain(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
