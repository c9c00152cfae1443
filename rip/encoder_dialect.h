#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process_runner.h"

namespace ripwarden {

// How the installed encoder spells the options whose names changed over its
// versions. The defaults are the classic spellings, used for any program
// that does not say otherwise.
struct EncoderDialect {
  enum class TwoPass {
    kClassic,    // "-2 T"
    kBareFlag,   // "-2" without the stray word
    kMultiPass,  // "--multi-pass"
  };
  bool main_feature = false;  // "--main-feature" in place of "-L"
  TwoPass two_pass = TwoPass::kClassic;
  bool operator==(const EncoderDialect&) const = default;
};

// Reads the dialect from the encoder's --help text.
EncoderDialect DialectFromHelp(std::string_view help);

// What an encoder whose options could not be learnt is given: the spellings
// of the encoders in use today. The classic "-L" is rejected by them with
// exit code 0, so guessing it would fail every rip.
inline constexpr EncoderDialect kCurrentDialect{true, EncoderDialect::TwoPass::kBareFlag};

// Tells which dialect an encoder program speaks.
class EncoderDialectSource {
 public:
  virtual ~EncoderDialectSource() = default;
  // Nothing while the program is still being asked: ask again on a later turn.
  virtual std::optional<EncoderDialect> For(const std::string& program) = 0;
};

// Asks each encoder program for its options (by running it with --help)
// without waiting for it: each call looks at the running question and
// returns at once. An answer is kept until the program file changes; a
// program that did not answer in time is asked again next time.
class EncoderDialects final : public EncoderDialectSource {
 public:
  // A first start can be slow: a virus scanner checking a new program, a
  // cold disk, a wrapper script.
  static constexpr std::uint32_t kProbeTimeoutMs = 15000;
  // Help longer than this (the encoder's is under 40 kB) is no encoder's either.
  static constexpr std::size_t kLongestHelp = 1 << 20;
  static constexpr std::size_t kHelpPerTurn = 64 << 10;

  EncoderDialects(ProcessRunner& processes, Files& files, Clock& clock,
                  std::uint32_t timeout_ms = kProbeTimeoutMs);
  ~EncoderDialects() override;
  EncoderDialects(const EncoderDialects&) = delete;
  EncoderDialects& operator=(const EncoderDialects&) = delete;

  std::optional<EncoderDialect> For(const std::string& program) override;

 private:
  struct Probe {
    std::string program;
    std::optional<FileStamp> stamp;
    ChildProcess process = kNoProcess;
    std::uint32_t started = 0;
    std::string help;
  };
  // Takes what the probe wrote; true once it has said all it will say.
  bool TakeHelp(Probe& probe);
  void EndProbe();

  struct Known {
    std::optional<FileStamp> stamp;
    EncoderDialect dialect;
  };
  ProcessRunner& processes_;
  Files& files_;
  Clock& clock_;
  std::uint32_t timeout_ms_;
  std::map<std::string, Known> known_;
  std::optional<Probe> probe_;
};

}  // namespace ripwarden
