#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "helpers/fake_encoder_system.h"

namespace fake_encoder {

namespace {

void ExitOnInterrupt(int) { _exit(1); }

void WriteAll(int fd, std::string_view bytes, int failure) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      _exit(failure);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void ExitOnStopRequest() {
  struct sigaction on_interrupt {};
  on_interrupt.sa_handler = ExitOnInterrupt;
  ::sigaction(SIGINT, &on_interrupt, nullptr);
}

void IgnoreStopRequests() { ::signal(SIGINT, SIG_IGN); }

void IgnoreInput() {}

void WriteOutput(std::string_view bytes) { WriteAll(STDOUT_FILENO, bytes, 98); }

void CloseOutput() { ::close(STDOUT_FILENO); }

void WriteError(std::string_view bytes) { WriteAll(STDERR_FILENO, bytes, 98); }

void AppendToFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) _exit(97);
  WriteAll(fd, bytes, 97);
  ::close(fd);
}

void PutInPlace(const std::string& from, const std::string& to) { ::rename(from.c_str(), to.c_str()); }

std::string ProcessId() { return std::to_string(::getpid()); }

std::string WorkingFolder() {
  char folder[PATH_MAX];
  return ::getcwd(folder, sizeof folder) != nullptr ? folder : "?";
}

std::vector<std::string> Arguments(int argc, char** argv) { return {argv, argv + argc}; }

std::int64_t MonotonicNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void Crash(int signal) {
  const rlimit no_core{0, 0};
  ::setrlimit(RLIMIT_CORE, &no_core);
  struct sigaction fatal {};
  fatal.sa_handler = SIG_DFL;
  ::sigaction(signal, &fatal, nullptr);
  ::raise(signal);
  _exit(93);
}

void Hang() {
  while (true) ::pause();
}

}  // namespace fake_encoder
