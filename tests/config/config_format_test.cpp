#include "config/config_format.h"

#include <gtest/gtest.h>

namespace ripwarden {
namespace {

using Kind = ConfigLine::Kind;

ConfigLine Key(std::string key, std::string value) { return {Kind::kKey, std::move(key), std::move(value)}; }
ConfigLine Group(std::string name) { return {Kind::kGroup, std::move(name), {}}; }
ConfigLine Comment(std::string text) { return {Kind::kComment, std::move(text), {}}; }

TEST(ParseConfig, AcceptsEveryLineEndAndDropsEmptyLines) {
  const auto parsed = ParseConfig("a=1\r\nb=2\rc=3\nd=4\n\r\n\r\r\ne=5");
  const std::vector<ConfigLine> expected = {Key("a", "1"), Key("b", "2"), Key("c", "3"), Key("d", "4"),
                                            Key("e", "5")};
  EXPECT_EQ(parsed.lines, expected);
  EXPECT_FALSE(parsed.utf8_mode);
}

TEST(ParseConfig, SplitsKeyLinesAtTheFirstEquals) {
  const auto parsed = ParseConfig("SourceDrive=D\n  Dest \t=  \t/a=b/c=d  \nNoEquals \t\n=orphan\nEmpty=\n");
  const std::vector<ConfigLine> expected = {Key("SourceDrive", "D"), Key("Dest", "/a=b/c=d  "),
                                            Key("NoEquals", ""), Key("", "orphan"), Key("Empty", "")};
  EXPECT_EQ(parsed.lines, expected);
}

TEST(ParseConfig, ReadsCommentsAndUntrimmedGroupNames) {
  const auto parsed = ParseConfig(";one\n;  two\n; \n[ Spaced ] tail\n[NoClose\n[]\n\t;indented");
  const std::vector<ConfigLine> expected = {Comment("one"),     Comment(" two"),  Comment(""),
                                            Group(" Spaced "),  Group("NoClose"), Group(""),
                                            Comment("indented")};
  EXPECT_EQ(parsed.lines, expected);
}

TEST(ParseConfig, IgnoresBlankLinesIncludingALastOneWithoutEnd) {
  EXPECT_TRUE(ParseConfig("").lines.empty());
  EXPECT_TRUE(ParseConfig(" \t \r\n \t").lines.empty());
  const auto parsed = ParseConfig("a=1\r\n   \t  ");
  EXPECT_EQ(parsed.lines, std::vector<ConfigLine>{Key("a", "1")});
}

TEST(ParseConfig, DetectsTheByteOrderMarkOnlyAtTheStart) {
  const auto marked = ParseConfig("\xEF\xBB\xBF[G]\r\n");
  EXPECT_TRUE(marked.utf8_mode);
  EXPECT_EQ(marked.lines, std::vector<ConfigLine>{Group("G")});
  EXPECT_TRUE(ParseConfig("\xEF\xBB\xBF").utf8_mode);
  EXPECT_FALSE(ParseConfig("\xEF\xBB").utf8_mode);
  EXPECT_FALSE(ParseConfig("a=\xEF\xBB\xBF").utf8_mode);
}

TEST(SerializeConfig, WritesCanonicalLinesWithCrLf) {
  ConfigText config;
  config.lines = {Comment("note"), Group(" G "), Key("K", "v = w "), Key("Bare", "")};
  EXPECT_EQ(SerializeConfig(config), "; note\r\n[ G ]\r\nK = v = w \r\nBare = \r\n");
  config.utf8_mode = true;
  EXPECT_EQ(SerializeConfig(config).substr(0, 5), "\xEF\xBB\xBF\r\n");
  EXPECT_EQ(SerializeConfig(ConfigText{}), "");
  EXPECT_EQ(SerializeConfig(ConfigText{true, {}}), "\xEF\xBB\xBF\r\n");
}

TEST(SerializeConfig, WhatItWritesParsesBackTheSame) {
  for (const char* text : {"; c\n[ g ]x\nk\tv=1=2 \t\n\n=\n;\n[\n", "\xEF\xBB\xBF\r\n\r\nk=\xC3\xA9",
                           "k = \t", "\n\xEF\xBB\xBFk=1"}) {
    const auto first = ParseConfig(text);
    EXPECT_EQ(ParseConfig(SerializeConfig(first)), first) << text;
  }
}

TEST(EqualsIgnoringAsciiCase, FoldsOnlyTheLettersAToZ) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase("SourceDrive", "sourcedrive"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase("SOURCEDRIVE", "SourceDrive"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("Source", "SourceDrive"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC9", "\xE9"));  // É and é in Latin-1
  EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));        // 0x5B and 0x7B differ by 32 too
}

}  // namespace
}  // namespace ripwarden
