#include "platform/linux/posix_process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/error_log.h"
#include "platform/linux/program_search.h"

namespace ripwarden::linux_platform {

namespace {

std::size_t PipeBytes(int fd) {
  int bytes = 0;
  if (::ioctl(fd, FIONREAD, &bytes) != 0 || bytes < 0) return 0;
  return static_cast<std::size_t>(bytes);
}

bool WriteAll(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, bytes, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

// Copies the child's standard error (the pipe's read end) into the log file;
// takes both descriptors.
std::shared_ptr<ErrorLog> StartErrorLog(int from, int file) {
  return ErrorLog::Start(
      [from](char* buffer, std::size_t size) -> std::size_t {
        while (true) {
          const ssize_t got = ::read(from, buffer, size);
          if (got < 0 && errno == EINTR) continue;
          return got > 0 ? static_cast<std::size_t>(got) : 0;
        }
      },
      [file](const char* bytes, std::size_t size) { return WriteAll(file, bytes, size); },
      [from, file] {
        ::close(from);
        ::close(file);
      });
}

// This process's environment with TMPDIR (and nothing else) changed.
class ChildEnvironment {
 public:
  explicit ChildEnvironment(const std::string& temp_folder) {
    if (temp_folder.empty()) return;
    own_.push_back("TMPDIR=" + temp_folder);
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (std::strncmp(*entry, "TMPDIR=", 7) != 0) pointers_.push_back(*entry);
    }
    pointers_.push_back(own_.back().data());
    pointers_.push_back(nullptr);
  }
  char** get() { return pointers_.empty() ? environ : pointers_.data(); }

 private:
  std::vector<std::string> own_;
  std::vector<char*> pointers_;
};

class SpawnSettings {
 public:
  SpawnSettings() {
    ::posix_spawn_file_actions_init(&actions_);
    ::posix_spawnattr_init(&attributes_);
  }
  ~SpawnSettings() {
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  // 0, or the error that stopped it.
  int Prepare(int output, int error, const std::string& working_folder) {
    // dup2 onto fd 1 also clears close-on-exec when the pipe already is fd 1.
    int failed = ::posix_spawn_file_actions_adddup2(&actions_, output, STDOUT_FILENO);
    if (failed == 0 && error >= 0)
      failed = ::posix_spawn_file_actions_adddup2(&actions_, error, STDERR_FILENO);
    if (failed == 0)
      failed = ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (failed == 0 && !working_folder.empty()) {
      failed = ::posix_spawn_file_actions_addchdir_np(&actions_, working_folder.c_str());
    }
    // The encoder must not inherit descriptors that libraries opened without
    // close-on-exec (an inherited lock file would outlive this program).
    if (failed == 0) failed = ::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
    if (failed != 0) return failed;
    // Ignored or blocked signals would survive exec; SIGINT must reach the encoder.
    sigset_t all;
    sigset_t none;
    ::sigfillset(&all);
    ::sigemptyset(&none);
    if ((failed = ::posix_spawnattr_setsigdefault(&attributes_, &all)) != 0) return failed;
    if ((failed = ::posix_spawnattr_setsigmask(&attributes_, &none)) != 0) return failed;
    return ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

struct PosixProcessRunner::Process final : Child {
  Process(pid_t id, int read_end) : pid(id), output(read_end) {}
  ~Process() override {
    if (output >= 0) ::close(output);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid;
  int output;  // read end of the pipe, non-blocking
  bool output_ended = false;
};

PosixProcessRunner::~PosixProcessRunner() {
  // A killed process ends within moments: collected, it leaves no zombie
  // behind for as long as this program runs.
  AwaitKilled(std::chrono::seconds(2));
}

PosixProcessRunner::Spawned PosixProcessRunner::Spawn(const std::string& program,
                                                      const std::vector<std::string>& arguments,
                                                      const std::string& working_folder,
                                                      const ProcessOptions& options) {
  const std::optional<std::string> file = FindProgram(program, std::getenv("PATH"), CurrentFolder());
  if (!file) return Spawned::Failed(std::strerror(ENOENT));
  int pipe_ends[2];
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0) return Spawned::Failed(std::strerror(errno));
  const int read_end = pipe_ends[0];
  const int write_end = pipe_ends[1];
  int error_ends[2] = {-1, -1};
  int log_file = -1;
  if (!options.error_log.empty()) {
    log_file = ::open(options.error_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0644);
    if (log_file < 0 || ::pipe2(error_ends, O_CLOEXEC) != 0) {
      if (log_file >= 0) ::close(log_file);
      log_file = -1;
    }
  }

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  // glibc's posix_spawn waits until the child has executed the program, so a
  // missing program, folder or permission is reported here.
  pid_t pid = 0;
  SpawnSettings settings;
  ChildEnvironment environment(options.temp_folder);
  int failed = settings.Prepare(write_end, error_ends[1], working_folder);
  if (failed == 0) {
    failed = ::posix_spawn(&pid, file->c_str(), settings.actions(), settings.attributes(), argv.data(),
                           environment.get());
  }
  ::close(write_end);
  if (error_ends[1] >= 0) ::close(error_ends[1]);
  if (failed != 0) {
    ::close(read_end);
    if (log_file >= 0) {
      ::close(log_file);
      ::close(error_ends[0]);
    }
    return Spawned::Failed(std::strerror(failed));
  }
  ::fcntl(read_end, F_SETFL, ::fcntl(read_end, F_GETFL) | O_NONBLOCK);
  return {std::make_unique<Process>(pid, read_end), "",
          log_file >= 0 ? StartErrorLog(error_ends[0], log_file) : nullptr};
}

PosixProcessRunner::Read PosixProcessRunner::ReadOutput(Child& child, char* buffer, std::size_t size,
                                                        bool wait) {
  auto& process = static_cast<Process&>(child);
  while (!process.output_ended) {
    const ssize_t got = ::read(process.output, buffer, size);
    if (got > 0) return {static_cast<std::size_t>(got), false};
    if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
      process.output_ended = true;
    } else if (errno == EAGAIN) {
      if (!wait) return {0, false};
      pollfd wanted{process.output, POLLIN, 0};
      ::poll(&wanted, 1, -1);
    }
  }
  return {0, true};
}

std::size_t PosixProcessRunner::OutputInTransit(Child& child) {
  return PipeBytes(static_cast<Process&>(child).output);
}

std::optional<PosixProcessRunner::Ending> PosixProcessRunner::PollEnding(Child& child, bool) {
  int status = 0;
  pid_t got;
  do {
    got = ::waitpid(static_cast<Process&>(child).pid, &status, WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return std::nullopt;
  // Collected by someone else (for instance because SIGCHLD is ignored): it
  // has ended, how is not known.
  if (got < 0) return Ending::Exited(-1);
  if (WIFEXITED(status)) return Ending::Exited(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return Ending::Signalled(WTERMSIG(status));
  return Ending::Exited(-1);
}

void PosixProcessRunner::AwaitOutput(Child& child, bool or_end, std::uint32_t timeout_ms) {
  auto& process = static_cast<Process&>(child);
  // The end of a process wakes no poll: it is looked for every few milliseconds.
  const int pause = static_cast<int>(or_end ? std::min<std::uint32_t>(timeout_ms, 5) : timeout_ms);
  pollfd wanted{process.output, POLLIN, 0};
  ::poll(&wanted, process.output_ended || process.output < 0 ? 0 : 1, pause);
}

void PosixProcessRunner::Interrupt(Child& child) { ::kill(static_cast<Process&>(child).pid, SIGINT); }

bool PosixProcessRunner::Kill(Child& child) {
  ::kill(static_cast<Process&>(child).pid, SIGKILL);
  return true;
}

void PosixProcessRunner::DropOutput(Child& child) {
  auto& process = static_cast<Process&>(child);
  ::close(process.output);
  process.output = -1;
}

int PosixProcessRunner::OutputDescriptor(ChildProcess process) {
  Child* flowing = Flowing(process);
  return flowing == nullptr ? -1 : static_cast<Process*>(flowing)->output;
}

}  // namespace ripwarden::linux_platform
