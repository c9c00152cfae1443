// Encoders that misbehave, run as real child processes through the real
// runner into the engine: each rip must end with a clear status, nothing
// left running or open, and no file left behind by a cancel.
#include <gtest/gtest.h>

#include <algorithm>

#include "helpers/fake_encoder_control.h"
#include "helpers/process_census.h"
#include "real_runner_fixture.h"
#include "rip/encoder_command.h"

namespace ripwarden::testing {
namespace {

struct Fault {
  const char* name;
  const char* script;
  // Cancelled once the encoder has printed "ready".
  bool cancel;
  std::string status;
  const char* balloon;
  bool file_kept;
  // Lines the output window must show, newest first, between the command
  // line and what came after them.
  std::vector<std::string> shows;
};
void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class EncoderFaultTest : public RealRunnerTest, public ::testing::WithParamInterface<Fault> {
 protected:
  EncoderFaultTest() { settings_.WriteSetting("Other", "EjectOnFinish", "1"); }
};

TEST_P(EncoderFaultTest, EndsClearlyAndLeavesNothingBehind) {
  const Fault& fault = GetParam();
  Announce();
  const int descriptors = OpenDescriptorCount();
  ResetPeakResidentBytes();
  [[maybe_unused]] const std::size_t resident = PeakResidentBytes();
  FakeEncoderScript script(home_, fault.script);
  engine_.StartRip();
  const std::string file = JobOf(engine_).output_file;
  RunUntilTheRipEnds(fault.cancel);

  ASSERT_FALSE(engine_.IsRipping()) << "the rip never ended";
  EXPECT_EQ(view_.status, fault.status);
  EXPECT_EQ(view_.balloons.back(), fault.balloon);
  // The balloon gives the same reason as the status.
  const std::string failed = "FAILED: ";
  if (fault.status.starts_with(failed)) {
    const auto balloon = std::find_if(view_.calls.rbegin(), view_.calls.rend(),
                                      [](const std::string& call) { return call.starts_with("balloon: "); });
    ASSERT_NE(balloon, view_.calls.rend());
    EXPECT_NE(balloon->find(fault.status.substr(failed.size())), std::string::npos) << *balloon;
  }
  EXPECT_FALSE(view_.cancel_enabled);
  // Only a whole rip has the finished name; a partial one is kept under a
  // name that says so, and nothing is left under the temporary name.
  const bool complete = fault.status == kCompleteText;
  const bool cancelled = fault.status == kCancelledText;
  EXPECT_EQ(FileExists(file), fault.file_kept && complete);
  EXPECT_EQ(FileExists(IncompleteName(file)), fault.file_kept && !complete);
  EXPECT_FALSE(FileExists(file + ".part"));
  EXPECT_FALSE(FileExists(home_.Path("State/tmp/") + file.substr(file.rfind('/') + 1)));
  EXPECT_EQ(drives_.ejected.empty(), !complete && !cancelled);
  const auto records = RipHistory(files_, home_.Path("State/history.jsonl")).Records().value();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].result, complete ? "complete" : cancelled ? "cancelled" : "failed");
  EXPECT_EQ(records[0].output, !fault.file_kept ? "" : complete ? file : IncompleteName(file));
  ASSERT_GE(view_.output.size(), fault.shows.size() + 1);
  if (!fault.shows.empty()) {
    const auto shown = std::find(view_.output.begin(), view_.output.end(), fault.shows.front());
    ASSERT_LE(shown + static_cast<std::ptrdiff_t>(fault.shows.size()), view_.output.end());
    EXPECT_TRUE(std::equal(fault.shows.begin(), fault.shows.end(), shown));
  }
  EXPECT_TRUE(ChildProcesses().empty());
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
#if !defined(__SANITIZE_ADDRESS__)
  // Output is bounded however much comes (the sanitizer keeps freed memory).
  EXPECT_LT(PeakResidentBytes() - resident, std::size_t{32} << 20);
#endif
}

const std::string kLongest(OutputLines::kLongestLine, 'x');
#ifdef _WIN32
// Windows has no signals: a crashed process ends with its exception's code
// (here an access violation, 0xC0000005).
constexpr const char* kCrashed = "(exit code -1073741819).";
#else
constexpr const char* kCrashed = "(killed by signal 11).";
#endif

INSTANTIATE_TEST_SUITE_P(
    Faults, EncoderFaultTest,
    ::testing::Values(
        Fault{"crash",
              "write \\rEncoding: task 1 of 1, 10.00 %\\r\noutput part\nsleep 50\ncrash 11\n",
              false,
              std::string(kStopped) + kCrashed,
              "DVD Rip Failed",
              true,
              {"Encoding: task 1 of 1, 10.00 %"}},
        Fault{"exit_at_once",
              "exit 2\n",
              false,
              std::string(kStopped) + "(exit code 2).",
              "DVD Rip Failed",
              false,
              {}},
        Fault{"exit_130_is_no_signal",
              "exit 130\n",
              false,
              std::string(kStopped) + "(exit code 130).",
              "DVD Rip Failed",
              false,
              {}},
        Fault{"exit_0_without_file",
              "write Encoding: task 1 of 1, 100.00 %\\n\nexit 0\n",
              false,
              std::string(kStopped) + "(exit code 0).",
              "DVD Rip Failed",
              false,
              {"Encoding: task 1 of 1, 100.00 %"}},
        Fault{"never_exits",
              "output part\nwrite ready\\n\nhang\n",
              true,
              kCancelledText,
              "DVD Rip Started",
              false,
              {"ready"}},
        Fault{"flood_line_without_end",
              "write ready\\n\nflood 10485760\nexit 1\n",
              false,
              std::string(kStopped) + "(exit code 1).",
              "DVD Rip Failed",
              false,
              {kLongest, "ready"}},
        Fault{"nul_and_invalid_utf8",
              "write \\rEncoding: 5\\0 hidden %\\r\nwrite \\xff\\xfe \\xc3\\x28 "
              "\\xe2\\x82\\n\nwrite \\0\\0\\n\n"
              "output done\nlog sync: got 9 frames, 9 expected\nexit 0\n",
              false,
              kCompleteText,
              "Rip Complete!",
              true,
              {"", "\xff\xfe \xc3\x28 \xe2\x82", "Encoding: 5"}},
        Fault{"closes_output_and_finishes",
              "write ready\\n\nclose-output\nsleep 100\noutput done\nlog sync: got 9 frames, 9 "
              "expected\nexit 0\n",
              false,
              kCompleteText,
              "Rip Complete!",
              true,
              {"ready"}},
        Fault{"exit_0_short_of_the_end",
              "write \\rEncoding: task 1 of 1, 13.60 %\\r\noutput part\nexit 0\n",
              false,
              "FAILED: The rip is incomplete: HandBrake stopped at 13.6 %.",
              "DVD Rip Failed",
              true,
              {"Encoding: task 1 of 1, 13.60 %"}},
        Fault{"exit_0_with_frames_missing",
              "write \\rEncoding: task 1 of 1, 100.00 %\\r\noutput part\n"
              "log [10:28:09] scan: duration is 00:01:30 (90000 ms)\n"
              "log [10:28:15] sync: got 300 frames, 2250 expected\nexit 0\n",
              false,
              "FAILED: The rip is incomplete: 0:12 of 1:30 was encoded.",
              "DVD Rip Failed",
              true,
              {"Encoding: task 1 of 1, 100.00 %"}},
        Fault{"unwritable_destination_says_why",
              "log ERROR: avio_open2 failed, errno -2: Could not write to indicated output file.\n"
              "log Encode failed (error 3).\nexit 3\n",
              false,
              std::string(kStopped) + "(exit code 3).",
              "DVD Rip Failed",
              false,
              {"HandBrake: ERROR: avio_open2 failed, errno -2: Could not write to indicated output file."}},
        Fault{"closes_output_and_hangs",
              "write ready\\n\nclose-output\noutput part\nhang\n",
              true,
              kCancelledText,
              "DVD Rip Started",
              false,
              {"ready"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ripwarden::testing
