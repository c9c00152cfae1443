#include "rip/encoder_dialect.h"

#include <algorithm>

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

EncoderDialects::~EncoderDialects() { EndProbe(); }

std::optional<EncoderDialect> EncoderDialects::For(const std::string& program) {
  const std::optional<FileStamp> stamp = files_.ProgramStamp(program);
  const auto found = known_.find(program);
  if (found != known_.end() && found->second.stamp == stamp) return found->second.dialect;
  if (probe_ && (probe_->program != program || probe_->stamp != stamp)) EndProbe();
  if (!probe_) {
    const ChildProcess process = processes_.StartProcess(program, {"--help"}, "");
    // The rip's own start will fail and say why.
    if (process == kNoProcess) return kCurrentDialect;
    probe_ = Probe{program, stamp, process, clock_.TickCount(), {}};
  }
  if (!TakeHelp(*probe_)) {
    if (!IsDue(clock_.TickCount(), probe_->started, static_cast<std::int32_t>(timeout_ms_)))
      return std::nullopt;
    // Unanswered is not an answer: nothing is kept, the next rip asks again.
    EndProbe();
    return kCurrentDialect;
  }
  const std::string help = std::move(probe_->help);
  EndProbe();
  // Help that names neither generation's option (a wrapper that failed, a
  // program that is no encoder) says nothing about the version.
  if (help.size() > kLongestHelp ||
      (help.find("--main-feature") == std::string::npos && help.find("--longest") == std::string::npos)) {
    return kCurrentDialect;
  }
  const EncoderDialect dialect = DialectFromHelp(help);
  known_[program] = {stamp, dialect};
  return dialect;
}

bool EncoderDialects::TakeHelp(Probe& probe) {
  // A little at a time, so that a program flooding its output neither holds
  // the turn nor fills the memory.
  const auto take = [&] {
    const std::size_t until = std::min(probe.help.size() + kHelpPerTurn, kLongestHelp + 1);
    while (probe.help.size() < until && processes_.IsLineWaiting(probe.process))
      probe.help += processes_.ReadOutputLine(probe.process) + "\n";
    return probe.help.size() < until;
  };
  if (!take()) return probe.help.size() > kLongestHelp;
  if (probe.help.size() > kLongestHelp) return true;
  if (processes_.IsProcessRunning(probe.process)) return false;
  // What came between the last look and its end.
  take();
  return true;
}

void EncoderDialects::EndProbe() {
  if (!probe_) return;
  // A program that does not answer --help and goes on running is no encoder
  // we know; the runner collects it once it is gone.
  if (processes_.IsProcessRunning(probe_->process)) processes_.KillProcess(probe_->process);
  processes_.CloseProcess(probe_->process);
  probe_.reset();
}

}  // namespace ripwarden
