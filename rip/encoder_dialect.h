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

// Tells which dialect an encoder program speaks.
class EncoderDialectSource {
 public:
  virtual ~EncoderDialectSource() = default;
  virtual EncoderDialect For(const std::string& program) = 0;
};

// Asks each encoder program for its options once (by running it with
// --help), and again only when the program file changes.
class EncoderDialects final : public EncoderDialectSource {
 public:
  // A program that has not answered by then is taken for one of the classic dialect.
  static constexpr std::uint32_t kProbeTimeoutMs = 5000;
  // Help longer than this (the encoder's is under 40 kB) is no encoder's either.
  static constexpr std::size_t kLongestHelp = 1 << 20;

  EncoderDialects(ProcessRunner& processes, Files& files, Clock& clock,
                  std::uint32_t timeout_ms = kProbeTimeoutMs);

  EncoderDialect For(const std::string& program) override;

 private:
  std::optional<std::string> ReadHelp(const std::string& program);

  struct Known {
    std::optional<FileStamp> stamp;
    EncoderDialect dialect;
  };
  ProcessRunner& processes_;
  Files& files_;
  Clock& clock_;
  std::uint32_t timeout_ms_;
  std::map<std::string, Known> known_;
};

}  // namespace ripwarden
