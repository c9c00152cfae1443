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
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/error_log.h"
#include "platform/linux/program_search.h"

namespace ripwarden::linux_platform {

namespace {

// The status of a process that someone else collected (for instance because
// SIGCHLD is ignored): it has ended, how is not known.
constexpr int kStatusUnknown = -1;
// Held above every exit code, so that exit(130) and SIGINT stay apart.
constexpr int kSignalled = 1 << 16;
// A process that floods its output must not hold one call forever.
constexpr std::size_t kMostDrainedPerCall = 1 << 20;

std::optional<int> TryCollect(pid_t pid) {
  int status = 0;
  pid_t got;
  do {
    got = ::waitpid(pid, &status, WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return std::nullopt;
  if (got < 0) return kStatusUnknown;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return kSignalled + WTERMSIG(status);
  return kStatusUnknown;
}

std::size_t PipeBytes(int fd) {
  int bytes = 0;
  if (::ioctl(fd, FIONREAD, &bytes) != 0 || bytes < 0) return 0;
  return static_cast<std::size_t>(bytes);
}

// Reads what the pipe holds now, at most limit bytes, handing it to take.
// False once the output has ended (the writer closed it) or cannot be read
// any more.
template <typename Take>
bool ReadAvailable(int fd, std::size_t limit, Take take) {
  char chunk[65536];
  std::size_t total = 0;
  while (total < limit) {
    const ssize_t got = ::read(fd, chunk, std::min(sizeof chunk, limit - total));
    if (got > 0) {
      take(chunk, static_cast<std::size_t>(got));
      total += static_cast<std::size_t>(got);
    } else if (got == 0) {
      return false;
    } else if (errno == EAGAIN) {
      return true;
    } else if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

// Takes what fits among the held lines. With overflow, output that does not
// fit is read and dropped, so that a process being waited for can go on
// writing and end.
void Drain(int fd, bool& output_ended, OutputLines& lines, bool overflow = false) {
  if (output_ended) return;
  const std::size_t limit = overflow ? kMostDrainedPerCall : std::min(lines.Room(), kMostDrainedPerCall);
  if (limit == 0) return;
  output_ended = !ReadAvailable(fd, limit, [&](const char* bytes, std::size_t size) {
    lines.Hold({bytes, std::min(size, lines.Room())});
  });
}

// A blocking read on the non-blocking pipe: waits until bytes or the end come.
std::size_t ReadWaiting(int fd, bool& output_ended, char* buffer, std::size_t size) {
  while (!output_ended) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got > 0) return static_cast<std::size_t>(got);
    if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
      output_ended = true;
    } else if (errno == EAGAIN) {
      pollfd wanted{fd, POLLIN, 0};
      ::poll(&wanted, 1, -1);
    }
  }
  return 0;
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

  bool Prepare(int output, int error, const std::string& working_folder) {
    // dup2 onto fd 1 also clears close-on-exec when the pipe already is fd 1.
    if (::posix_spawn_file_actions_adddup2(&actions_, output, STDOUT_FILENO) != 0) return false;
    if (error >= 0 && ::posix_spawn_file_actions_adddup2(&actions_, error, STDERR_FILENO) != 0) return false;
    if (::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0)
      return false;
    if (!working_folder.empty() &&
        ::posix_spawn_file_actions_addchdir_np(&actions_, working_folder.c_str()) != 0) {
      return false;
    }
    // The encoder must not inherit descriptors that libraries opened without
    // close-on-exec (an inherited lock file would outlive this program).
    if (::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) != 0) return false;
    // Ignored or blocked signals would survive exec; SIGINT must reach the encoder.
    sigset_t all;
    sigset_t none;
    ::sigfillset(&all);
    ::sigemptyset(&none);
    return ::posix_spawnattr_setsigdefault(&attributes_, &all) == 0 &&
           ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
           ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK) == 0;
  }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

PosixProcessRunner::~PosixProcessRunner() {
  for (auto& [id, record] : records_) {
    if (!record.status) record.status = TryCollect(record.pid);
    if (record.status) {
      ::close(record.output);
    } else {
      released_.push_back({record.pid, record.output, record.killed});
    }
  }
  records_.clear();
  // A killed process ends within moments; collect it rather than leave a
  // zombie behind for as long as this program runs.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  CollectReleased();
  while (std::any_of(released_.begin(), released_.end(), [](const Released& r) { return r.killed; }) &&
         std::chrono::steady_clock::now() < deadline) {
    ::poll(nullptr, 0, 5);
    CollectReleased();
  }
  for (const Released& released : released_) {
    if (released.output >= 0) ::close(released.output);
  }
}

ChildProcess PosixProcessRunner::StartProcess(const std::string& program,
                                              const std::vector<std::string>& arguments,
                                              const std::string& working_folder) {
  return StartProcessWithOptions(program, arguments, working_folder, {});
}

ChildProcess PosixProcessRunner::StartProcessWithOptions(const std::string& program,
                                                         const std::vector<std::string>& arguments,
                                                         const std::string& working_folder,
                                                         const ProcessOptions& options) {
  CollectReleased();
  const std::optional<std::string> file = FindProgram(program, std::getenv("PATH"), CurrentFolder());
  if (!file) return kNoProcess;
  int pipe_ends[2];
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0) return kNoProcess;
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
  const bool started = settings.Prepare(write_end, error_ends[1], working_folder) &&
                       ::posix_spawn(&pid, file->c_str(), settings.actions(), settings.attributes(),
                                     argv.data(), environment.get()) == 0;
  ::close(write_end);
  if (error_ends[1] >= 0) ::close(error_ends[1]);
  if (!started) {
    ::close(read_end);
    if (log_file >= 0) {
      ::close(log_file);
      ::close(error_ends[0]);
    }
    return kNoProcess;
  }
  ::fcntl(read_end, F_SETFL, ::fcntl(read_end, F_GETFL) | O_NONBLOCK);
  const std::uint64_t id = next_id_++;
  Record& record = records_[id];
  record.pid = pid;
  record.output = read_end;
  if (log_file >= 0) record.error_log = StartErrorLog(error_ends[0], log_file);
  return static_cast<ChildProcess>(id);
}

PosixProcessRunner::Record* PosixProcessRunner::Find(ChildProcess process) {
  CollectReleased();
  const auto found = records_.find(static_cast<std::uint64_t>(process));
  if (found == records_.end()) return nullptr;
  Record& record = found->second;
  if (!record.status) record.status = TryCollect(record.pid);
  return &record;
}

ChildProcess PosixProcessRunner::IsProcessKnown(ChildProcess process) {
  return Find(process) != nullptr ? process : kNoProcess;
}

std::int32_t PosixProcessRunner::AvailableOutput(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return 0;
  Drain(record->output, record->output_ended, record->lines);
  const std::size_t in_pipe = record->output_ended ? 0 : PipeBytes(record->output);
  return static_cast<std::int32_t>(std::min<std::size_t>(in_pipe + record->lines.HeldSize(), INT32_MAX));
}

bool PosixProcessRunner::IsLineWaiting(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return false;
  Drain(record->output, record->output_ended, record->lines);
  return record->lines.HoldsLineEnd() || (record->output_ended && record->lines.HeldSize() > 0);
}

std::string PosixProcessRunner::ReadOutputLine(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return {};
  return record->lines.NextLine([record](char* buffer, std::size_t size) {
    return ReadWaiting(record->output, record->output_ended, buffer, size);
  });
}

int PosixProcessRunner::OutputDescriptor(ChildProcess process) {
  Record* record = Find(process);
  return record == nullptr || record->output_ended ? -1 : record->output;
}

bool PosixProcessRunner::IsProcessRunning(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return false;
  if (!record->status) return true;
  Drain(record->output, record->output_ended, record->lines);
  const bool running =
      record->lines.HeldSize() > 0 || (!record->output_ended && PipeBytes(record->output) > 0);
  // A child that handed its standard error to a process of its own would
  // hold the log open: it is read as it stands after a moment.
  if (!running && record->error_log) {
    record->error_log->WaitUntilWhole(2000);
    record->error_log.reset();
  }
  return running;
}

std::optional<int> PosixProcessRunner::ExitCode(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr || !record->status || *record->status >= kSignalled) return std::nullopt;
  return record->status;
}

std::optional<int> PosixProcessRunner::EndingSignal(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr || !record->status || *record->status < kSignalled) return std::nullopt;
  return *record->status - kSignalled;
}

bool PosixProcessRunner::WaitForExit(ChildProcess process, std::uint32_t timeout_ms) {
  Record* record = Find(process);
  if (record == nullptr) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    if (!record->status) record->status = TryCollect(record->pid);
    if (record->status) return true;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const int pause = static_cast<int>(std::min<std::int64_t>(left.count(), 5));
    if (record->output_ended) {
      ::poll(nullptr, 0, pause);
    } else {
      pollfd wanted{record->output, POLLIN, 0};
      if (::poll(&wanted, 1, pause) > 0) Drain(record->output, record->output_ended, record->lines, true);
    }
  }
}

void PosixProcessRunner::InterruptProcess(ChildProcess process) {
  Record* record = Find(process);
  // Once collected, the pid may already belong to another process.
  if (record != nullptr && !record->status) ::kill(record->pid, SIGINT);
}

void PosixProcessRunner::KillProcess(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr || record->status) return;
  ::kill(record->pid, SIGKILL);
  record->killed = true;
}

void PosixProcessRunner::CloseProcess(ChildProcess process) {
  Record* record = Find(process);
  if (record == nullptr) return;
  if (record->status) {
    ::close(record->output);
  } else {
    released_.push_back({record->pid, record->output, record->killed});
  }
  records_.erase(static_cast<std::uint64_t>(process));
}

void PosixProcessRunner::CollectReleased() {
  std::erase_if(released_, [](Released& released) {
    if (released.output >= 0 &&
        !ReadAvailable(released.output, kMostDrainedPerCall, [](const char*, std::size_t) {})) {
      ::close(released.output);
      released.output = -1;
    }
    if (!TryCollect(released.pid)) return false;
    if (released.output >= 0) ::close(released.output);
    return true;
  });
}

}  // namespace ripwarden::linux_platform
