// How held output is cut into lines when many lines arrive at once: each
// comes out whole and in order, however much is held behind it and however
// the later bytes are split.
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/output_lines.h"

namespace ripwarden {
namespace {

// Hands out the chunks one read at a time; 0 once they are all gone.
class Chunks {
 public:
  explicit Chunks(std::deque<std::string> chunks) : chunks_(std::move(chunks)) {}
  OutputLines::Reader Reader() {
    return [this](char* buffer, std::size_t size) -> std::size_t {
      if (chunks_.empty()) return 0;
      std::string& next = chunks_.front();
      const std::size_t count = std::min(size, next.size());
      next.copy(buffer, count);
      next.erase(0, count);
      if (next.empty()) chunks_.pop_front();
      return count;
    };
  }

 private:
  std::deque<std::string> chunks_;
};

TEST(OutputLinesTest, ManyHeldLinesComeOutOnePerCallInOrder) {
  OutputLines lines;
  std::string bytes;
  for (int i = 0; i < 1000; ++i)
    bytes += "line " + std::to_string(i) + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
  lines.Hold(bytes);
  Chunks none({});
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(lines.HoldsLineEnd()) << i;
    ASSERT_EQ(lines.NextLine(none.Reader()), "line " + std::to_string(i));
  }
  EXPECT_EQ(lines.HeldSize(), 0u);
  EXPECT_FALSE(lines.HoldsLineEnd());
}

TEST(OutputLinesTest, LinesHeldAcrossManyArrivalsKeepTheirOrder) {
  // Bytes keep coming while lines are taken: what was taken is dropped on
  // the way, and lines split between arrivals come out whole.
  OutputLines lines;
  Chunks none({});
  std::string expected_next = "update 0";
  int taken = 0;
  std::string pending;
  for (int i = 0; i < 20000; ++i) pending += "\rupdate " + std::to_string(i + 1);
  for (std::size_t at = 0; at < pending.size(); at += 97) {
    lines.Hold(std::string_view(pending).substr(at, 97));
    while (lines.HoldsLineEnd()) {
      const std::string line = lines.NextLine(none.Reader());
      // The first update is preceded by nothing: an empty line.
      if (taken == 0) {
        ASSERT_EQ(line, "");
      } else {
        ASSERT_EQ(line, "update " + std::to_string(taken));
      }
      ++taken;
    }
  }
  EXPECT_EQ(taken, 20000);
  // The newest update has no line end yet: it waits, then comes whole.
  Chunks rest({"0 done", "\n"});
  EXPECT_EQ(lines.NextLine(rest.Reader()), "update 200000 done");
}

TEST(OutputLinesTest, CarriageReturnEndingTheHeldBytesAndLineFeedArrivingNextEndOneLine) {
  OutputLines lines;
  Chunks none({});
  lines.Hold("first\nsecond\r");
  EXPECT_EQ(lines.NextLine(none.Reader()), "first");
  EXPECT_EQ(lines.NextLine(none.Reader()), "second");
  lines.Hold("\nthird\n");
  ASSERT_TRUE(lines.HoldsLineEnd());
  EXPECT_EQ(lines.NextLine(none.Reader()), "third");
  EXPECT_FALSE(lines.HoldsLineEnd());
}

TEST(OutputLinesTest, PartLineAfterWholeOnesIsCompletedByReading) {
  OutputLines lines;
  lines.Hold("one\ntwo\nthr");
  Chunks rest({"ee\r", "\nfour\n"});
  EXPECT_EQ(lines.NextLine(rest.Reader()), "one");
  EXPECT_EQ(lines.NextLine(rest.Reader()), "two");
  EXPECT_EQ(lines.NextLine(rest.Reader()), "three");
  EXPECT_EQ(lines.NextLine(rest.Reader()), "four");
  EXPECT_EQ(lines.HeldSize(), 0u);
}

TEST(OutputLinesTest, NulEndsTheTextOfAHeldLine) {
  OutputLines lines;
  Chunks none({});
  lines.Hold(std::string("ab\0cd\nef\n", 9));
  EXPECT_EQ(lines.NextLine(none.Reader()), "ab");
  EXPECT_EQ(lines.NextLine(none.Reader()), "ef");
}

}  // namespace
}  // namespace ripwarden
