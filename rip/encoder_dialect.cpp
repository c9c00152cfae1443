#include "rip/encoder_dialect.h"

namespace ripwarden {

namespace {

bool IsOptionChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; }

// True when the help text lists the long option itself, not merely a longer
// one that begins with the same letters.
bool Offers(std::string_view help, std::string_view option) {
  for (auto at = help.find(option); at != std::string_view::npos; at = help.find(option, at + 1)) {
    const bool starts = at == 0 || !IsOptionChar(help[at - 1]);
    const std::size_t end = at + option.size();
    if (starts && (end == help.size() || !IsOptionChar(help[end]))) return true;
  }
  return false;
}

}  // namespace

EncoderDialect DialectFromHelp(std::string_view help) {
  EncoderDialect dialect;
  dialect.main_feature = Offers(help, "--main-feature") && !Offers(help, "--longest");
  if (Offers(help, "--multi-pass")) {
    dialect.two_pass = EncoderDialect::TwoPass::kMultiPass;
  } else if (Offers(help, "--two-pass")) {
    dialect.two_pass = EncoderDialect::TwoPass::kBareFlag;
  }
  return dialect;
}

EncoderDialects::EncoderDialects(ProcessRunner& processes, Files& files, Clock& clock,
                                 std::uint32_t timeout_ms)
    : processes_(processes), files_(files), clock_(clock), timeout_ms_(timeout_ms) {}

EncoderDialect EncoderDialects::For(const std::string& program) {
  const std::optional<FileStamp> stamp = files_.ProgramStamp(program);
  const auto found = known_.find(program);
  if (found != known_.end() && found->second.stamp == stamp) return found->second.dialect;
  const auto help = ReadHelp(program);
  const EncoderDialect dialect = help ? DialectFromHelp(*help) : EncoderDialect{};
  known_[program] = {stamp, dialect};
  return dialect;
}

std::optional<std::string> EncoderDialects::ReadHelp(const std::string& program) {
  const ChildProcess probe = processes_.StartProcess(program, {"--help"}, "");
  if (probe == kNoProcess) return std::nullopt;
  std::string help;
  const std::uint32_t started = clock_.TickCount();
  bool complete = false;
  while (!IsDue(clock_.TickCount(), started, static_cast<std::int32_t>(timeout_ms_))) {
    // Bounded, so that a program flooding its output is still given up in time.
    while (help.size() <= kLongestHelp && processes_.IsLineWaiting(probe))
      help += processes_.ReadOutputLine(probe) + "\n";
    if (help.size() > kLongestHelp) break;
    if (!processes_.IsProcessRunning(probe)) {
      complete = true;
      break;
    }
    clock_.Sleep(5);
  }
  if (!complete) {
    // A program that does not answer --help and goes on running is no encoder
    // we know; it must not hold up the rip.
    processes_.KillProcess(probe);
    processes_.WaitForExit(probe, 1000);
  }
  processes_.CloseProcess(probe);
  if (!complete) return std::nullopt;
  return help;
}

}  // namespace ripwarden
