// TPattern: compiling on construction and assignment, the matching operations, tags, sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pattern/pattern.h"

namespace {

TEST(PatternObject, FindsTheProgramDirectory) {
  TPattern dir("{*/:\\(*\\)#}*");
  EXPECT_EQ(PatternOk, dir.Status());
  const char* path = "C:\\A\\B\\X.EXE";
  EXPECT_EQ(path, dir.Match(path));
  EXPECT_EQ("C:\\A\\B\\", TPattern::Tag(1));
  EXPECT_EQ("C:\\A\\B\\", TPattern::Tag(0));  // the final '*' is shortest first
  EXPECT_EQ(nullptr, dir.Match("X.EXE"));
  EXPECT_EQ(PatternNoMatch, dir.Status());
  EXPECT_EQ("", TPattern::Tag(1));
}

TEST(PatternObject, SplitsADirectoryAtItsFirstBackslash) {
  TPattern split("{*}\\{?#}");
  EXPECT_EQ(3, split.TagCount());
  ASSERT_NE(nullptr, split.Match("A\\B\\"));
  EXPECT_EQ("A", TPattern::Tag(1));
  EXPECT_EQ("B\\", TPattern::Tag(2));
  ASSERT_NE(nullptr, split.Match("\\A\\B\\"));
  EXPECT_EQ("", TPattern::Tag(1));
  EXPECT_EQ("A\\B\\", TPattern::Tag(2));
}

TEST(PatternObject, InvalidPatternKeepsItsStatus) {
  TPattern bad("(");
  EXPECT_EQ(PatternNotClosed, bad.Status());
  EXPECT_EQ(0, bad.CodeSize());
  EXPECT_EQ(0, bad.TagCount());
  EXPECT_EQ(nullptr, bad.Match("("));
  EXPECT_EQ(PatternNotClosed, bad.Status());
  EXPECT_EQ(nullptr, bad.SearchForward("(", nullptr));
  EXPECT_EQ(PatternNotClosed, bad.Status());
  bad = "(a)";
  EXPECT_EQ(PatternOk, bad.Status());
  EXPECT_NE(nullptr, bad.Match("a"));
}

TEST(PatternObject, EmptyPatternMatchesEverywhere) {
  TPattern empty;
  EXPECT_EQ(10, empty.CodeSize());
  EXPECT_EQ(1, empty.TagCount());
  const char* text = "abc";
  EXPECT_EQ(text, empty.Match(text));
  EXPECT_EQ(text + 3, empty.SearchBackward(text, nullptr));
  EXPECT_EQ(text + 1, empty.SearchBackward(text, text + 1));
  EXPECT_EQ(text, empty.SearchForward(text, nullptr));
}

TEST(PatternObject, SearchesBothWays) {
  TPattern a("a");
  const char* text = "xaxa";
  EXPECT_EQ(text + 1, a.SearchForward(text));
  EXPECT_EQ(text + 3, a.SearchForward(text, text + 2));
  EXPECT_EQ(text + 3, a.SearchBackward(text));
  EXPECT_EQ(text + 1, a.SearchBackward(text, text + 2));
  EXPECT_EQ(nullptr, a.SearchBackward(text, text));
  EXPECT_EQ(PatternNoMatch, a.Status());
  EXPECT_EQ(text + 3, a.Search(text, text + 2, 1));
  EXPECT_EQ(nullptr, a.Search(text, text, 2));
  EXPECT_EQ(text + 1, a.Search(text, text + 1, 2));
}

TEST(PatternObject, ResultMarkerAndMatchAgain) {
  TPattern p("x-y");
  const char* text = "xy";
  EXPECT_EQ(text + 1, p.Match(text));
  EXPECT_EQ("xy", TPattern::Tag(0));

  TPattern step("?-");
  const char* abc = "abc";
  EXPECT_EQ(abc + 1, step.Match(abc));
  EXPECT_EQ(abc + 2, step.MatchAgain());
  EXPECT_EQ(abc + 3, step.MatchAgain());
  EXPECT_EQ(nullptr, step.MatchAgain());  // "?" fails at the end
  EXPECT_EQ(nullptr, step.MatchAgain());  // no previous result
  EXPECT_EQ(PatternNoMatch, step.Status());
}

TEST(PatternObject, AssignmentAndCopyRecompile) {
  TPattern p("{a}");
  EXPECT_EQ(2, p.TagCount());
  EXPECT_EQ(16, p.CodeSize());
  p = std::string("{a}{b}");
  EXPECT_EQ(3, p.TagCount());
  EXPECT_EQ("{a}{b}", static_cast<const std::string&>(p));
  TPattern copy(p);
  EXPECT_EQ(p.CodeSize(), copy.CodeSize());
  EXPECT_NE(nullptr, copy.Match("ab"));
  p = copy;
  EXPECT_NE(nullptr, p.Match("ab"));
  p = "[";
  EXPECT_EQ(PatternEndTooEarly, p.Status());
  EXPECT_EQ(0, p.CodeSize());
  TPattern fromNull(static_cast<const char*>(nullptr));
  EXPECT_EQ(PatternOk, fromNull.Status());
}

TEST(PatternObject, TagsBelongToTheLatestMatchOfAnyPattern) {
  TPattern first("{a}");
  TPattern second("{b}");
  ASSERT_NE(nullptr, first.Match("a"));
  EXPECT_EQ("a", TPattern::Tag(1));
  EXPECT_EQ(nullptr, second.Match("a"));
  EXPECT_EQ("", TPattern::Tag(1));
  EXPECT_EQ("", TPattern::Tag(11));  // outside 0 to 10
  EXPECT_EQ("", TPattern::Tag(-1));
}

TEST(PatternObject, CaseFoldedMatching) {
  TPattern folded("=-abc");
  EXPECT_NE(nullptr, folded.Match("ABC"));
  EXPECT_NE(nullptr, folded.Match("aBc"));
  EXPECT_EQ(nullptr, folded.Match("abd"));
}

}  // namespace
