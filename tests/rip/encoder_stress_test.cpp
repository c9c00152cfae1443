// The encoder faults that take seconds by nature: a gigabyte of output, and
// an encoder that ignores the interrupt and has to be killed.
#include <gtest/gtest.h>

#include <cstdio>

#include "helpers/fake_encoder_control.h"
#include "helpers/process_census.h"
#include "real_runner_fixture.h"

namespace ripwarden::testing {
namespace {

using EncoderStressTest = RealRunnerTest;

TEST_F(EncoderStressTest, AGigabyteFloodIsTakenALineATurnInBoundedMemory) {
  constexpr long kBytes = 1L << 30;
  constexpr long kLine = 1L << 20;
  FakeEncoderScript script(
      home_, "flood " + std::to_string(kBytes) + " " + std::to_string(kLine - 1) + "\nexit 1\n");
  ResetPeakResidentBytes();
  const std::size_t resident = PeakResidentBytes();
  const auto start = std::chrono::steady_clock::now();
  engine_.StartRip();
  RunUntilTheRipEnds(false);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::size_t grown = PeakResidentBytes() - resident;

  ASSERT_FALSE(engine_.IsRipping()) << "the flood was not taken within the time allowed";
  EXPECT_EQ(view_.status, std::string(kStopped) + "(exit code 1).");
  // Every line, cut at its longest, after the command line and before where
  // the log is and the rip's summary.
  ASSERT_EQ(view_.output.size(), static_cast<std::size_t>(kBytes / kLine) + 3);
  EXPECT_EQ(view_.output[2], std::string(OutputLines::kLongestLine, 'x'));
  EXPECT_TRUE(ChildProcesses().empty());
  std::printf(
      "flood: %.0f MB/s, %.0f lines/s, %ld turns, longest turn %.2f ms, peak resident growth %zu kB\n",
      kBytes / seconds / 1e6, (kBytes / kLine) / seconds, turns_,
      std::chrono::duration<double, std::milli>(longest_turn_).count(), grown / 1024);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(grown, std::size_t{64} << 20);
#endif
}

TEST_F(EncoderStressTest, AnEncoderThatIgnoresTheInterruptIsKilledByCancel) {
  FakeEncoderScript script(home_, "ignore-interrupt\noutput part\nwrite ready\\n\nhang\n");
  Announce();
  const int descriptors = OpenDescriptorCount();
  engine_.StartRip();
  const std::string file = JobOf(engine_).output_file;
  RunUntilTheRipEnds(true);
  EXPECT_EQ(view_.status, kCancelledText);
  EXPECT_FALSE(FileExists(file));
  EXPECT_TRUE(ChildProcesses().empty());
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

}  // namespace
}  // namespace ripwarden::testing
