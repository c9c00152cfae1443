#include "helpers/media_probe.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <sstream>

extern char** environ;

namespace ripwarden::testing {

namespace {

int Ended(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

ToolOutput RunCapturing(const std::vector<std::string>& argv) {
  ToolOutput result;
  if (argv.empty()) return result;
  std::vector<char*> pointers;
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);

  int pipe_ends[2];
  // Close-on-exec, so that the child holds only the copies made below and the
  // pipe reaches end of file as soon as it ends.
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
  pid_t pid = 0;
  const int spawn_error = ::posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_ends[1]);
  if (spawn_error != 0) {
    ::close(pipe_ends[0]);
    result.output = argv[0] + ": cannot be started (errno " + std::to_string(spawn_error) + ")\n";
    return result;
  }

  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(pipe_ends[0], buffer, sizeof buffer);
    if (got > 0) {
      result.output.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(pipe_ends[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = Ended(status);
  return result;
}

std::string LastLines(const std::string& output, int lines) {
  std::size_t start = output.size();
  // A trailing line break does not open another line.
  if (start > 0 && output[start - 1] == '\n') --start;
  while (lines > 0 && start > 0) {
    start = output.rfind('\n', start - 1);
    if (start == std::string::npos) return output;
    --lines;
  }
  return lines > 0 ? output : output.substr(start + 1);
}

std::optional<MediaInfo> ProbeMedia(const std::string& path) {
  // Sections keep their wrappers: which codec belongs to which stream type
  // must not hang on the order ffprobe prints a section's fields in.
  const ToolOutput probe = RunCapturing({"ffprobe", "-v", "error", "-show_entries",
                                         "stream=codec_type,codec_name:stream_tags=language:format=duration",
                                         "-of", "default", path});
  if (probe.exit_code != 0) return std::nullopt;

  MediaInfo info;
  MediaStream stream;
  std::istringstream lines(probe.output);
  for (std::string line; std::getline(lines, line);) {
    if (line == "[STREAM]") {
      stream = {};
    } else if (line == "[/STREAM]") {
      if (stream.type == "video" && info.video_codec.empty()) info.video_codec = stream.codec;
      if (stream.type == "audio" && info.audio_codec.empty()) info.audio_codec = stream.codec;
      info.streams.push_back(stream);
    } else if (line.starts_with("codec_name=")) {
      stream.codec = line.substr(11);
    } else if (line.starts_with("codec_type=")) {
      stream.type = line.substr(11);
    } else if (line.starts_with("TAG:language=")) {
      stream.language = line.substr(13);
    } else if (line.starts_with("duration=")) {
      // from_chars, not strtod: a decimal comma in the test's locale must not cut the value.
      const char* first = line.data() + 9;
      double seconds = 0;
      if (std::from_chars(first, line.data() + line.size(), seconds).ec == std::errc()) {
        info.duration_seconds = seconds;
      }
    }
  }
  return info;
}

}  // namespace ripwarden::testing
