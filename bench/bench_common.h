// What the benchmark tools share: a private user's world for one run of the
// program, starting and stopping processes, reading /proc, and the table
// they print. Header-only; the tools are small.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

inline void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// CLOCK_MONOTONIC, as the fake encoder's "clock" command writes it.
inline long long NowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

inline int EnvNumber(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}

// A user of the program for one run: HOME with XDG_CONFIG_HOME inside, a
// private runtime folder (the single-instance lock lives there) and the
// program's home with its settings, all in a fresh temporary folder that
// goes with the object.
class Sandbox {
 public:
  Sandbox() {
    std::string pattern = (fs::temp_directory_path() / "ripwarden-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    root_ = pattern;
    fs::create_directories(root_ / "user/.config");
    fs::create_directories(root_ / "ripwarden/Data/Config");
    fs::create_directories(root_ / "out");
    fs::create_directories(root_ / "runtime");
    fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    WriteFile(root_ / "ripwarden/Data/Config/Presets.cfg", "H.264 Standard (1500 kb/s)=x264/1500/aac/160\n");
  }
  ~Sandbox() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  fs::path root() const { return root_; }
  fs::path Path(const std::string& name) const { return root_ / name; }
  std::string destination() const { return (root_ / "out").string() + "/"; }

  // The settings: watch `source`, rip with `encoder`; AutoRip on, windows
  // hidden at start. An empty encoding passes no quality options; the disc is
  // ripped straight unless copy_first.
  void WriteSettings(const std::string& source, const std::string& encoder, const std::string& encoding = "",
                     bool copy_first = false) const {
    WriteFile(root_ / "ripwarden/Data/Config/Settings.cfg",
              "[Ripping]\nSourceDrive = " + source + "\nDestination = " + destination() +
                  "\nFileContainer = MP4\nEncoding = " + encoding +
                  "\nTwoPass = 0\nAudioBooster = 0\nCopyFirst = " + (copy_first ? "1" : "0") +
                  "\n[Other]\nStartUp = 0\nStartMinimised = 1\nAutoRip = 1\n"
                  "EjectOnFinish = 0\nClearHandBrakeOutput = 0\n[HandBrake]\nLocation = " +
                  encoder + "\n[Application]\nVersion = 0.1.0\n");
  }

  // A folder holding VIDEO_TS: a disc as far as the drive poll is concerned,
  // for a stand-in encoder that reads nothing.
  std::string MakeFolderDisc(const std::string& name) const {
    fs::create_directories(root_ / name / "VIDEO_TS");
    return (root_ / name).string();
  }

  // This process's environment with the user's folders, headless.
  std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string variable = *entry;
      const std::string name = variable.substr(0, variable.find('='));
      if (name != "HOME" && name != "RIPWARDEN_HOME" && name != "XDG_RUNTIME_DIR" &&
          name != "XDG_CONFIG_HOME" && name != "QT_QPA_PLATFORM" && name != "RIPWARDEN_FAKE_ENCODER_SCRIPT") {
        environment.push_back(variable);
      }
    }
    environment.push_back("HOME=" + (root_ / "user").string());
    environment.push_back("XDG_CONFIG_HOME=" + (root_ / "user/.config").string());
    environment.push_back("RIPWARDEN_HOME=" + (root_ / "ripwarden").string());
    environment.push_back("XDG_RUNTIME_DIR=" + (root_ / "runtime").string());
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    for (const std::string& variable : extra) environment.push_back(variable);
    return environment;
  }

  // Sets the same in this process, for a program run inside it.
  void Enter(const std::vector<std::string>& extra = {}) const {
    for (const std::string& variable : Environment(extra)) {
      const std::size_t equals = variable.find('=');
      ::setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
    }
  }

 private:
  fs::path root_;
};

// A script for the fake encoder, with a wrapper that answers --help as the
// real encoder does (the program asks once per rip) and otherwise runs the
// fake encoder: give the wrapper as the encoder's location.
inline std::string MakeFakeEncoder(const Sandbox& sandbox, const std::string& fake_encoder,
                                   const std::string& help_file, const std::string& script) {
  WriteFile(sandbox.Path("encoder.script"), script);
  const fs::path wrapper = sandbox.Path("encoder");
  WriteFile(wrapper, "#!/bin/sh\nif [ \"$1\" = --help ]; then exec cat '" + help_file + "'; fi\nexec '" +
                         fake_encoder + "' \"$@\"\n");
  fs::permissions(wrapper, fs::perms::owner_all);
  return wrapper.string();
}

inline std::vector<std::string> ThisEnvironment() {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  return environment;
}

struct Child {
  pid_t pid = -1;
  int exit_code = -1;  // once it has ended
};

// Starts argv[0] with no shell; standard input empty, standard output and
// error to `log` (or /dev/null).
inline Child Start(const std::vector<std::string>& command, const std::vector<std::string>& environment,
                   const std::string& log = "/dev/null") {
  std::vector<char*> variables;
  for (const std::string& variable : environment) variables.push_back(const_cast<char*>(variable.c_str()));
  variables.push_back(nullptr);
  std::vector<char*> argv;
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), variables.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    std::cerr << "cannot start " << command[0] << "\n";
    std::exit(1);
  }
  return {pid};
}

inline bool Running(Child& child) {
  int status = 0;
  if (child.exit_code >= 0 || ::waitpid(child.pid, &status, WNOHANG) != child.pid) return child.exit_code < 0;
  child.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

inline int Wait(Child& child) {
  if (child.exit_code < 0) {
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    child.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return child.exit_code;
}

// SIGTERM, then SIGKILL if it has not ended within `grace`.
inline int Stop(Child& child, std::chrono::milliseconds grace = std::chrono::seconds(10)) {
  if (!Running(child)) return child.exit_code;
  ::kill(child.pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + grace;
  while (Running(child) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (Running(child)) ::kill(child.pid, SIGKILL);
  return Wait(child);
}

// A field of /proc/<pid>/status in kB ("VmRSS"); -1 when not there.
inline long StatusKb(pid_t pid, const std::string& field) {
  std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(field + ":")) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

// The state letter of /proc/<pid>/stat ('Z' for a zombie); '?' when gone.
inline char ProcessState(pid_t pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t paren = stat.rfind(')');
  return paren == std::string::npos || paren + 2 >= stat.size() ? '?' : stat[paren + 2];
}

// Children of `parent` named `name`, from /proc.
inline std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& name) {
  std::vector<pid_t> found;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator("/proc", ignored)) {
    const std::string id = entry.path().filename().string();
    if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = ReadFile(entry.path() / "stat");
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    char state = 0;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent && stat.substr(open + 1, close - open - 1) == name) found.push_back(std::stoi(id));
  }
  return found;
}

inline double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t at =
      std::min(values.size() - 1, static_cast<std::size_t>(fraction * (values.size() - 1) + 0.5));
  return values[at];
}

inline double Median(const std::vector<double>& values) { return Percentile(values, 0.5); }

// One row of the table that bench/run.sh prints (markdown):
// | figure | Ripwarden | reference | goal | verdict |
inline void Row(const std::string& figure, const std::string& ours, const std::string& reference,
                const std::string& goal, bool met) {
  std::printf("| %s | %s | %s | %s | %s |\n", figure.c_str(), ours.c_str(), reference.c_str(), goal.c_str(),
              met ? "met" : "**NOT met**");
  std::fflush(stdout);
}
inline void Row(const std::string& figure, const std::string& ours, const std::string& reference) {
  std::printf("| %s | %s | %s | (figure only) | |\n", figure.c_str(), ours.c_str(), reference.c_str());
  std::fflush(stdout);
}

inline std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace bench
