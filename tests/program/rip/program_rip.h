// What the whole-program rip tests share: the program's settings, and
// looks at its processes, files and history from outside.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "helpers/media_probe.h"
#include "helpers/sample_dvd.h"
#include "program/running_program.h"

namespace ripwarden::testing {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline constexpr auto kStartTimeout = 30s;
inline constexpr auto kStopTimeout = 20s;
inline constexpr const char* kEncoder = "HandBrakeCLI";

inline std::string Settings(const std::string& image, const std::string& destination,
                            const std::string& ripping = "") {
  return "[Ripping]\nSourceDrive = " + image + "\nDestination = " + destination +
         "\nFileContainer = MP4\nEncoding = Test Standard\nTwoPass = 1\nAudioBooster = 0\n" + ripping +
         "[Other]\nStartUp = 0\nStartMinimised = 0\nAutoRip = 1\nEjectOnFinish = 1\n"
         "ClearHandBrakeOutput = 0\n[HandBrake]\nLocation = HandBrakeCLI\n[Application]\nVersion = 0.1.0\n";
}
inline constexpr const char* kPresets = "Test Standard=x264/1500/aac/160\n";

// The encoder ripping into `destination`; the program also runs it briefly
// to learn its options.
inline std::vector<pid_t> RippingEncoders(pid_t program, const std::string& destination) {
  std::vector<pid_t> encoders = ChildrenOf(program);
  std::erase_if(encoders, [&](pid_t pid) {
    const auto arguments = CommandLine(pid);
    return CommandName(pid) != kEncoder ||
           std::none_of(arguments.begin(), arguments.end(),
                        [&](const std::string& argument) { return argument.starts_with(destination); });
  });
  return encoders;
}

inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline bool IsEncoder(pid_t pid) { return CommandName(pid) == kEncoder; }

// The copier at work on a disc, when one is.
inline pid_t CopierOf(pid_t program) {
  for (const pid_t child : ChildrenOf(program)) {
    const auto arguments = CommandLine(child);
    if (arguments.size() > 1 && arguments[1] == "copy") return child;
  }
  return 0;
}

inline int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// A member of the history record of the disc labelled `label`.
inline std::string RecordField(const std::string& history, const std::string& label,
                               const std::string& name) {
  const auto line = history.find("\"label\":\"" + label + "\"");
  const auto start = history.rfind('\n', line) + 1;
  const auto at = history.find("\"" + name + "\":\"", start);
  if (line == std::string::npos || at > history.find('\n', line)) return "";
  const auto value = at + name.size() + 4;
  return history.substr(value, history.find('"', value) - value);
}

// Every file of the folder under a finished name is whole media of its length.
inline void ExpectFinishedFilesWhole(const std::string& folder,
                                     const std::map<std::string, double>& seconds) {
  for (const std::string& name : FilesIn(folder)) {
    if (!name.ends_with(").MP4")) continue;
    const auto info = ProbeMedia(folder + name);
    ASSERT_TRUE(info.has_value()) << name << " is no media";
    const auto length = seconds.find(name.substr(0, name.find("_(")));
    ASSERT_NE(length, seconds.end()) << name;
    EXPECT_NEAR(info->duration_seconds, length->second, 1.0) << name;
  }
}

inline double Seconds(Clock::duration elapsed) { return std::chrono::duration<double>(elapsed).count(); }

}  // namespace ripwarden::testing
