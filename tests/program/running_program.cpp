#include "program/running_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ripwarden::testing {

namespace fs = std::filesystem;

namespace {

int Ended(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

bool IsNumber(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

std::string ReadLink(const std::string& path) {
  std::error_code error;
  const fs::path target = fs::read_symlink(path, error);
  return error ? std::string() : target.string();
}

bool Within(const std::string& path, const std::string& folder) {
  return path == folder || path.starts_with(folder + "/");
}

}  // namespace

ProgramSandbox::ProgramSandbox() {
  for (const std::string& folder :
       {user_home() + "/.config", program_home(), scratch(), temp_.Path("logs")}) {
    fs::create_directories(folder);
  }
  // Qt refuses a runtime folder that others could read.
  fs::create_directories(runtime());
  fs::permissions(runtime(), fs::perms::owner_all, fs::perm_options::replace);
}

void ProgramSandbox::WriteConfig(std::string_view settings, std::string_view presets) const {
  fs::create_directories(program_home() + "/Data/Config");
  temp_.Write("sandbox/ripwarden/Data/Config/Settings.cfg", settings);
  temp_.Write("sandbox/ripwarden/Data/Config/Presets.cfg", presets);
}

std::vector<std::string> ProgramSandbox::Environment(const std::string& qt_platform) const {
  const std::vector<std::pair<std::string, std::string>> ours = {
      {"HOME", user_home()},
      {"XDG_CONFIG_HOME", user_home() + "/.config"},
      {"XDG_CACHE_HOME", user_home() + "/.cache"},
      {"XDG_DATA_HOME", user_home() + "/.local/share"},
      {"XDG_STATE_HOME", user_home() + "/.local/state"},
      {"XDG_RUNTIME_DIR", runtime()},
      {"RIPWARDEN_HOME", program_home()},
      {"TMPDIR", scratch()},
      {"QT_QPA_PLATFORM", qt_platform},
  };
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string session_bus =
      qt_platform == "offscreen" || bus == nullptr ? "unix:path=" + runtime() + "/no-bus" : std::string(bus);
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    const std::string name = variable.substr(0, variable.find('='));
    bool replaced = false;
    for (const auto& [our_name, value] : ours) replaced = replaced || name == our_name;
    if (!replaced && name != "DBUS_SESSION_BUS_ADDRESS") environment.push_back(variable);
  }
  for (const auto& [name, value] : ours) environment.push_back(name + "=" + value);
  environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + session_bus);
  return environment;
}

RunningProgram::RunningProgram(const std::vector<std::string>& environment, std::string log_path,
                               std::vector<std::string> command)
    : log_path_(std::move(log_path)) {
  std::vector<char*> variables;
  for (const std::string& variable : environment) variables.push_back(const_cast<char*>(variable.c_str()));
  variables.push_back(nullptr);
  if (command.empty()) command = {RIPWARDEN_PROGRAM};
  const std::string& program = command.front();
  std::vector<char*> argv;
  for (std::string& argument : command) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  const std::string out = log_path_ + ".stdout";
  const std::string err = log_path_ + ".stderr";
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  const int error = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), variables.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
}

RunningProgram::~RunningProgram() {
  if (HasEnded()) return;
  ::kill(pid_, SIGKILL);
  WaitForExit(10s);
}

bool RunningProgram::HasEnded() {
  if (exit_code_) return true;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) exit_code_ = Ended(status);
  return exit_code_.has_value();
}

std::optional<int> RunningProgram::WaitForExit(std::chrono::milliseconds timeout) {
  WaitUntil([this] { return HasEnded(); }, timeout, 10ms);
  return exit_code_;
}

void RunningProgram::Signal(int signal) const {
  if (!exit_code_) ::kill(pid_, signal);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(step);
  }
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator("/proc", ignored)) {
    const std::string name = entry.path().filename().string();
    if (!IsNumber(name)) continue;
    // "pid (command) state ppid ...": the command may hold spaces and parentheses.
    const std::string stat = ReadFileBytes(entry.path().string() + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 4 >= stat.size()) continue;
    if (std::atoi(stat.c_str() + close + 4) == parent) children.push_back(std::atoi(name.c_str()));
  }
  return children;
}

std::string CommandName(pid_t pid) {
  std::string name = ReadFileBytes("/proc/" + std::to_string(pid) + "/comm");
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

std::vector<std::string> CommandLine(pid_t pid) {
  std::vector<std::string> arguments;
  std::istringstream in(ReadFileBytes("/proc/" + std::to_string(pid) + "/cmdline"));
  for (std::string argument; std::getline(in, argument, '\0');) arguments.push_back(argument);
  return arguments;
}

std::vector<pid_t> ProcessesInFolder(const std::string& command, const std::string& folder) {
  std::vector<pid_t> found;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator("/proc", ignored)) {
    const std::string name = entry.path().filename().string();
    if (!IsNumber(name)) continue;
    const pid_t pid = std::atoi(name.c_str());
    if (CommandName(pid) != command) continue;
    const std::string stat = ReadFileBytes(entry.path().string() + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z') continue;
    bool inside = Within(ReadLink(entry.path().string() + "/cwd"), folder);
    for (const std::string& argument : CommandLine(pid)) {
      inside = inside || argument.find(folder) != std::string::npos;
    }
    if (inside) found.push_back(pid);
  }
  return found;
}

bool HoldsFileLock(pid_t pid, const std::string& path) {
  struct stat file {};
  if (::stat(path.c_str(), &file) != 0) return false;
  // "1: FLOCK  ADVISORY  WRITE 4242 00:2d:1234 0 EOF"; waiters are shown with "->". Only the
  // inode is compared: on an overlay the device shown is the layer's, not what stat() gives.
  const std::string inode = ":" + std::to_string(file.st_ino);
  std::istringstream locks(ReadFileBytes("/proc/locks"));
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, holder, where;
    fields >> number >> kind >> mode >> access >> holder >> where;
    if (kind == "FLOCK" && holder == std::to_string(pid) && where.ends_with(inode)) return true;
  }
  return false;
}

std::set<std::string> FolderTree(const std::string& root) {
  std::set<std::string> tree;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(root, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored)) {
    tree.insert(fs::relative(it->path(), root).string());
  }
  return tree;
}

}  // namespace ripwarden::testing
