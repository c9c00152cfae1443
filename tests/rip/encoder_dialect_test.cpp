#include "rip/encoder_dialect.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "helpers/fake_encoder_control.h"
#include "helpers/native_platform.h"
#include "temp_folder.h"

namespace ripwarden {
namespace {

using TwoPass = EncoderDialect::TwoPass;

TEST(DialectFromHelp, ReadsTheRecordedHelpOfToday) {
  const std::string help = testing::ReadFileBytes(ASSETS_DIR "/handbrake-1.6.1/help.stdout");
  ASSERT_FALSE(help.empty());
  EXPECT_EQ(DialectFromHelp(help), (EncoderDialect{true, TwoPass::kBareFlag}));
}

TEST(DialectFromHelp, TellsTheEncoderGenerationsApart) {
  EXPECT_EQ(DialectFromHelp("   --multi-pass   Use multi-pass mode\n   --main-feature\n"),
            (EncoderDialect{true, TwoPass::kMultiPass}));
  EXPECT_EQ(DialectFromHelp(" -L, --longest   Select the longest title\n -2, --two-pass\n --main-feature"),
            (EncoderDialect{false, TwoPass::kBareFlag}));
  EXPECT_EQ(DialectFromHelp("usage: some other program"), EncoderDialect{});
  EXPECT_EQ(DialectFromHelp("--main-feature-x --two-passes --no-multi-pass"), EncoderDialect{})
      << "longer options that share a prefix";
}

class EncoderDialectsTest : public ::testing::Test {
 protected:
  // Asks until the program has answered (or was given up), as the engine's
  // turns do; each question itself returns at once.
  std::optional<EncoderDialect> Ask(EncoderDialects& dialects, const std::string& program) {
    for (int turn = 0; turn < 2000; ++turn) {
      const auto started = clock_.TickCount();
      const auto dialect = dialects.For(program);
      EXPECT_LT(clock_.TickCount() - started, 500u * kSlow) << "a question held the turn";
      if (dialect) return dialect;
      clock_.Sleep(10);
    }
    return std::nullopt;
  }

  static constexpr unsigned kSlow = testing::kStartSlowness;

  testing::TempFolder folder_;
  testing::NativeProcessRunner processes_;
  testing::NativeFiles files_;
  testing::NativeClock clock_;
};

TEST_F(EncoderDialectsTest, AsksTheProgramOnceUntilItChanges) {
  const std::string record = folder_.Path("calls");
  testing::FakeEncoderScript script(folder_, "record " + record + "\nwrite " +
                                                 testing::ScriptText("   --longest\n -2, --two-pass\n") +
                                                 "\nexit 0\n");
  const std::string program = folder_.Path(std::string("encoder") + testing::kProgramSuffix);
  std::filesystem::copy_file(testing::FakeEncoderPath(), program);
  EncoderDialects dialects(processes_, files_, clock_);
  EXPECT_EQ(Ask(dialects, program), (EncoderDialect{false, TwoPass::kBareFlag}));
  ASSERT_TRUE(testing::ReadEncoderRecord(record));
  EXPECT_EQ(testing::ReadEncoderRecord(record)->argv.back(), "--help");

  std::filesystem::remove(record);
  EXPECT_EQ(dialects.For(program), (EncoderDialect{false, TwoPass::kBareFlag}));
  EXPECT_FALSE(testing::FileExists(record)) << "asked again although nothing changed";

  {
    std::ofstream append(program, std::ios::app | std::ios::binary);
    append << "upgraded";
  }
  Ask(dialects, program);
  EXPECT_TRUE(testing::FileExists(record));
}

TEST_F(EncoderDialectsTest, ASlowAnswerIsNeitherGuessedOldNorKept) {
  // The first start is slow (a virus scanner, a cold disk); the next is not.
  const std::string record = folder_.Path("calls");
  const std::string program = folder_.Path(std::string("encoder") + testing::kProgramSuffix);
  std::filesystem::copy_file(testing::FakeEncoderPath(), program);
  EncoderDialects dialects(processes_, files_, clock_, 300 * kSlow);
  {
    testing::FakeEncoderScript slow(folder_, "sleep " + std::to_string(1500 * kSlow) + "\nwrite " +
                                                 testing::ScriptText("-L, --longest\n") + "\nexit 0\n");
    EXPECT_EQ(dialects.For(program), std::nullopt) << "answered before the program did";
    EXPECT_EQ(Ask(dialects, program), kCurrentDialect) << "an unknown version was taken for an old one";
  }
  testing::FakeEncoderScript quick(
      folder_, "record " + record + "\nwrite " + testing::ScriptText("-L, --longest\n") + "\nexit 0\n");
  EXPECT_EQ(Ask(dialects, program), EncoderDialect{}) << "the unanswered question was kept as an answer";
  EXPECT_TRUE(testing::FileExists(record));
}

TEST_F(EncoderDialectsTest, AProgramThatNeverAnswersIsGivenUp) {
  testing::FakeEncoderScript script(folder_, "write " + testing::ScriptText("--longest\n") + "\nhang\n");
  EncoderDialects dialects(processes_, files_, clock_, 300 * kSlow);
  const auto started = clock_.TickCount();
  EXPECT_EQ(Ask(dialects, testing::FakeEncoderPath()), kCurrentDialect);
  EXPECT_LT(clock_.TickCount() - started, 3000u * kSlow);
  EXPECT_EQ(dialects.For("/no/such/program"), kCurrentDialect);

  // Nor one that answers with lines for ever.
  const std::string flooding = folder_.Path(std::string("flooding") + testing::kProgramSuffix);
  std::filesystem::copy_file(testing::FakeEncoderPath(), flooding);
  testing::FakeEncoderScript flood(folder_, "write --longest\\n\nflood 1073741824 80\n");
  const auto flood_started = clock_.TickCount();
  EXPECT_EQ(Ask(dialects, flooding), kCurrentDialect);
  EXPECT_LT(clock_.TickCount() - flood_started, 3000u * kSlow);
}

}  // namespace
}  // namespace ripwarden
