// What every atom and operator matches, searches in both directions, the tag table and the
// stack bound, through the plain functions (one compiled pattern, one text, one start, one step).
#include <gtest/gtest.h>

#include <string>

#include "pattern/pattern.h"
#include "pattern/tests/test_support.h"

namespace {

constexpr uint16_t Anchored = 0;
constexpr uint16_t Forward = 1;
constexpr uint16_t Backward = 0xFFFF;

struct TMatchCase {
  const char* pattern;
  std::string text;
  int start;
  uint16_t step;
  int result;         // offset of the result position, -1 for no match
  const char* whole;  // text of tag 0 after a match
};

const TMatchCase MatchCases[] = {
    // Atoms.
    {"", "", 0, Anchored, 0, ""},
    {"", "abc", 2, Anchored, 2, ""},
    {"?", "", 0, Anchored, -1, ""},
    {"?", "xy", 0, Anchored, 0, "x"},
    {"^a", "a", 0, Anchored, 0, "a"},
    {"^a", "ba", 0, Forward, -1, ""},
    {"a$", "a", 0, Anchored, 0, "a"},
    {"a$", "ab", 0, Anchored, -1, ""},
    {"$", "ab", 2, Anchored, 2, ""},
    {"??:2x", "abx", 0, Anchored, 0, "abx"},
    {"?:2", "ab", 0, Anchored, -1, ""},
    {":1?", "ab", 0, Forward, 1, "b"},
    {"x-y", "xy", 0, Anchored, 1, "xy"},
    {"abc", "abd", 0, Anchored, -1, ""},
    {"%41/:", "A:", 0, Anchored, 0, "A:"},
    {"!a", "b", 0, Anchored, 0, "b"},
    {"!a", "a", 0, Anchored, -1, ""},
    {"!a", "", 0, Anchored, -1, ""},
    {"[a-c]", "b", 0, Anchored, 0, "b"},
    {"[a-c]", "d", 0, Anchored, -1, ""},
    {"[~a-c]", "d", 0, Anchored, 0, "d"},
    {"[~a-c]", "b", 0, Anchored, -1, ""},
    {"[~a-c]", "", 0, Anchored, -1, ""},
    {"[]", "a", 0, Anchored, -1, ""},
    {"[~]", "a", 0, Anchored, 0, "a"},
    {"[-a]", "-", 0, Anchored, 0, "-"},
    {"[/-a]#", "a-a", 0, Anchored, 0, "a-a"},
    {"[%80-%FF]", "\xE9", 0, Anchored, 0, "\xE9"},
    {"*b", "aab", 0, Anchored, 0, "aab"},
    {"a*", "abc", 0, Anchored, 0, "a"},
    {"*$", "abc", 0, Anchored, 0, "abc"},
    // Back-references: empty while unset, else the tag's text again.
    {"$1a", "a", 0, Anchored, 0, "a"},
    {"{a#}b$1", "aabaa", 0, Anchored, 0, "aabaa"},
    {"{a#}b$1", "aaba", 0, Anchored, -1, ""},
    {"=-{a}$1", "aA", 0, Anchored, 0, "aA"},
    // Case switches.
    {"=-abc", "ABC", 0, Anchored, 0, "ABC"},
    {"=-abc", "aBc", 0, Anchored, 0, "aBc"},
    {"=-/{", "[", 0, Anchored, 0, "["},
    {"=-[/{]", "[", 0, Anchored, 0, "["},
    {"=-/|", "\\", 0, Anchored, -1, ""},
    {"=-/|", "|", 0, Anchored, 0, "|"},
    {"=-}", "]", 0, Anchored, -1, ""},
    {"=-[a-c]", "B", 0, Anchored, 0, "B"},
    {"=-[~a-c]", "B", 0, Anchored, -1, ""},
    {"=-!a", "A", 0, Anchored, -1, ""},
    {"=-%E9", "\xC9", 0, Anchored, -1, ""},
    {"=-a=+b", "AB", 0, Anchored, -1, ""},
    {"=-a=+b", "Ab", 0, Anchored, 0, "Ab"},
    {"==a==a", "Aa", 0, Anchored, 0, "Aa"},
    {"==a==a", "AA", 0, Anchored, -1, ""},
    {"(=-a)b", "AB", 0, Anchored, 0, "AB"},  // the mode outlives the group
    // Look-ahead and negation.
    {"&a?", "a", 0, Anchored, 0, "a"},
    {"&ab", "ab", 0, Anchored, -1, ""},
    {"~a?", "b", 0, Anchored, 0, "b"},
    {"~a?", "a", 0, Anchored, -1, ""},
    {"~a", "", 0, Anchored, 0, ""},
    // Alternation: one atom on the left, one term on the right.
    {"ab|cd", "abd", 0, Anchored, 0, "abd"},
    {"ab|cd", "acd", 0, Anchored, 0, "acd"},
    {"ab|cd", "ab", 0, Anchored, -1, ""},
    {"ab|cd", "cd", 0, Anchored, -1, ""},
    {"x|y|z", "z", 0, Anchored, 0, "z"},
    {"a|a#", "aaa", 0, Anchored, 0, "a"},
    {"b|a#", "aaa", 0, Anchored, 0, "aaa"},
    // Repetitions.
    {"a#", "aaab", 0, Anchored, 0, "aaa"},
    {"a#", "b", 0, Anchored, 0, ""},
    {"a##", "b", 0, Anchored, -1, ""},
    {"a##", "aab", 0, Anchored, 0, "aa"},
    {"a#a", "aaa", 0, Anchored, 0, "aaa"},
    {"a+", "aaa", 0, Anchored, 0, ""},
    {"a++", "aaa", 0, Anchored, 0, "a"},
    {"a+b", "aab", 0, Anchored, 0, "aab"},
    {"a++$", "aaa", 0, Anchored, 0, "aaa"},
    {"a#+", "aaa+", 0, Anchored, 0, "aaa+"},
    {"(ab)#", "ababa", 0, Anchored, 0, "abab"},
    {"(a|b)#c", "abbac", 0, Anchored, 0, "abbac"},
    {"a^3", "aaaa", 0, Anchored, 0, "aaa"},
    {"a^3", "aa", 0, Anchored, -1, ""},
    {"a^", "x", 0, Anchored, 0, ""},
    {"a^0b", "b", 0, Anchored, 0, "b"},
    {"^3", "3", 0, Anchored, 0, "3"},
    {"(ab)^2$", "abab", 0, Anchored, 0, "abab"},
    // Nesting: A, then nested A...Z blocks or single units of B, then the balancing Z.
    {"/(<>/)", "(a(b)c)xyz", 0, Anchored, 0, "(a(b)c)"},
    {"/(<>/)", "(a(b)c", 0, Anchored, -1, ""},
    {"/(<>/)", "()", 0, Anchored, 0, "()"},
    {"/(<[ab]>/)", "(a(b))", 0, Anchored, 0, "(a(b))"},
    {"/(<[ab]>/)", "(a(c))", 0, Anchored, -1, ""},
    // A body without code reads as the empty body; a unit that consumes nothing fails
    // (either would otherwise bring the construct back to the same state for ever).
    {"/(<()>/)", "(a(b)c)x", 0, Anchored, 0, "(a(b)c)"},
    {"/(<()>/)", "(a", 0, Anchored, -1, ""},
    {"/(<$>/)", "(", 0, Anchored, -1, ""},
    {"/(<{}>/)", "(())x", 0, Anchored, 0, "(())"},
    {"/(<{}>/)", "(x)", 0, Forward, -1, ""},
    {"a<:1>z", "ax", 0, Anchored, -1, ""},
    {"a<(:1|b)>z", "abz", 0, Anchored, 0, "abz"},
    // Macros.
    {":d##", "123x", 0, Anchored, 0, "123"},
    {":a:c", "7x", 0, Anchored, 0, "7x"},
    {":b", " \t\r\nx", 0, Anchored, 0, " \t\r\n"},
    {":B", "x", 0, Anchored, -1, ""},
    {":f", "..", 0, Anchored, 0, ".."},
    {":f", "name.txt", 0, Anchored, 0, "name"},
    {":h", "1aFg", 0, Anchored, 0, "1aF"},
    {":i", "_x1$ ", 0, Anchored, 0, "_x1$"},
    {":W", "@a_1", 0, Anchored, 0, "@a_1"},
    {":n", "-12.5x", 0, Anchored, 0, "-12.5"},
    {":n", "+.5", 0, Anchored, 0, "+.5"},
    {":p", "c:\\dir\\file.txt", 0, Anchored, 0, "c:\\dir\\file.txt"},
    {":p", "..\\a.b", 0, Anchored, 0, "..\\a.b"},
    {":q", "\"\"", 0, Anchored, 0, "\"\""},
    {":q", "''", 0, Anchored, 0, "''"},
    {":q", "\"a\"", 0, Anchored, -1, ""},
    {":r", "-42", 0, Anchored, 0, "-42"},
    {":w:x", "ab 1", 0, Anchored, 0, "ab 1"},
    {":z", "07", 0, Anchored, 0, "07"},
    {":A", "a-b1", 0, Anchored, 0, "a-b1"},
    // Searches.
    {"a", "ba", 0, Anchored, -1, ""},
    {"a", "ba", 0, Forward, 1, "a"},
    {"a", "aba", 3, Backward, 2, "a"},
    {"a", "aba", 1, Backward, 0, "a"},
    {"b", "aaa", 3, Backward, -1, ""},
    {"", "abc", 3, Forward, 3, ""},
    {"?", "abc", 3, Forward, -1, ""},
    {"?", "abc", 4, Forward, -1, ""},
    {"", "abc", 4, Anchored, -1, ""},
    {"x-y", "axy", 0, Forward, 2, "xy"},
    {"b", "abab", 0, 2, -1, ""},
    {"b", "abab", 1, 2, 1, "b"},
    {"b", "abab", 3, 0xFFFE, 3, "b"},
};

TEST(Matcher, AtomsOperatorsAndSearches) {
  for (const TMatchCase& c : MatchCases) {
    TCode code = Compile(c.pattern);
    if (!code) {
      ADD_FAILURE() << "pattern \"" << c.pattern << "\" status " << PatternStatus();
      continue;
    }
    const uint16_t got = MatchPattern(code.get(), c.text.c_str(), c.text.size(), uint16_t(c.start), c.step);
    const std::string where = "pattern \"" + std::string(c.pattern) + "\" text \"" + c.text + "\" start " +
                              std::to_string(c.start) + " step " + std::to_string(c.step);
    EXPECT_EQ(c.result, ResultOffset(c.text.c_str(), PatternResult())) << where;
    EXPECT_EQ(c.result >= 0, got != 0) << where;
    EXPECT_EQ(c.result >= 0 ? PatternOk : PatternNoMatch, PatternStatus()) << where;
    if (c.result >= 0) {
      EXPECT_EQ(std::string(c.whole), TagText(0)) << where;
    }
  }
}

TEST(Matcher, SucceedsWithTheStackDepth) {
  TCode code = Compile("a|b");  // the prologue's point and the alternation's two entries
  EXPECT_EQ(3, MatchPattern(code.get(), "a", 1, 0, 0));
  EXPECT_EQ(1, MatchPattern(code.get(), "b", 1, 0, 0));
}

TEST(Matcher, TagsOfBraceGroups) {
  TCode code = Compile("{*}\\{?#}");
  const std::string text = "\\A\\B\\";
  ASSERT_NE(0, MatchPattern(code.get(), text.c_str(), text.size(), 0, 0));
  EXPECT_EQ(text.c_str(), PatternTagStart(1));
  EXPECT_EQ(0, PatternTagLength(1));
  EXPECT_EQ("", TagText(1));
  EXPECT_EQ("A\\B\\", TagText(2));

  TCode dir = Compile("{*/:\\(*\\)#}*");
  const std::string path = "C:\\A\\B\\X.EXE";
  ASSERT_NE(0, MatchPattern(dir.get(), path.c_str(), path.size(), 0, 0));
  EXPECT_EQ("C:\\A\\B\\", TagText(1));
  EXPECT_EQ(path.c_str(), PatternResult());
}

TEST(Matcher, TagsAreNotUndoneByBacktracking) {
  TCode code = Compile("{a}b");
  const std::string text = "ac";
  EXPECT_EQ(0, MatchPattern(code.get(), text.c_str(), text.size(), 0, 0));
  EXPECT_EQ(nullptr, PatternResult());
  EXPECT_EQ(text.c_str(), PatternTagStart(1));  // set on the abandoned path
  EXPECT_EQ(1, PatternTagLength(1));
  EXPECT_EQ(nullptr, PatternTagStart(2));

  // A forward search keeps what earlier attempts left, and tag 10 stays null without '-'.
  TCode later = Compile("{x}y");
  const std::string xs = "xxy";
  ASSERT_NE(0, MatchPattern(later.get(), xs.c_str(), xs.size(), 0, 1));
  EXPECT_EQ(xs.c_str() + 1, PatternResult());
  EXPECT_EQ("x", TagText(1));
}

TEST(Matcher, AStaleTagIsCutAtTheEndOfTheText) {
  // The second iteration sets tag 1's start at 4 and fails; its length is still 3.
  TCode code = Compile("({aaa}b)#");
  const std::string text = "aaaba";
  ASSERT_NE(0, MatchPattern(code.get(), text.c_str(), text.size(), 0, 0));
  EXPECT_EQ(text.c_str() + 4, PatternTagStart(1));
  EXPECT_EQ(3, PatternTagLength(1));
  EXPECT_EQ("a", TagText(1));
  EXPECT_EQ("aaab", TagText(0));
}

TEST(Matcher, ResultMarkerOnAnAbandonedPathStillCounts) {
  TCode code = Compile("(a-x)|(ab)");
  const std::string text = "ab";
  ASSERT_NE(0, MatchPattern(code.get(), text.c_str(), text.size(), 0, 0));
  EXPECT_EQ(text.c_str() + 1, PatternResult());
}

TEST(Matcher, StackExhaustionEndsTheWholeOperation) {
  const std::string many(300, 'a');
  TCode loop = Compile("?#");
  EXPECT_EQ(0, MatchPattern(loop.get(), many.c_str(), many.size(), 0, 0));
  EXPECT_EQ(PatternNoMatch, PatternStatus());
  EXPECT_EQ(nullptr, PatternResult());

  TCode star = Compile("*$");
  EXPECT_NE(0, MatchPattern(star.get(), many.c_str(), many.size(), 0, 0));
  EXPECT_EQ(many, TagText(0));

  // Beside the prologue and the loop entry, each pass keeps two entries: 197 passes fit.
  EXPECT_NE(0, MatchPattern(loop.get(), many.c_str(), 197, 0, 0));
  EXPECT_EQ(0, MatchPattern(loop.get(), many.c_str(), 198, 0, 0));

  // At start 150 the loop would fit, but the search ends at the first exhaustion.
  const std::string tail = many + "b";
  TCode search = Compile("?#b");
  EXPECT_EQ(0, MatchPattern(search.get(), tail.c_str(), tail.size(), 0, 1));
  EXPECT_NE(0, MatchPattern(search.get(), tail.c_str(), tail.size(), 150, 1));

  // An empty iteration after a non-empty one repeats until the stack runs out.
  TCode nested = Compile("(x#)#");
  EXPECT_EQ(0, MatchPattern(nested.get(), "xx", 2, 0, 0));
  EXPECT_NE(0, MatchPattern(nested.get(), "", 0, 0, 0));
}

TEST(Matcher, LengthCountsOnlyItsLow16Bits) {
  TCode code = Compile("a$");
  const std::string text = "a" + std::string(65535, 'b');  // 65536 bytes: length 0
  EXPECT_EQ(0, MatchPattern(code.get(), text.c_str(), text.size(), 0, 0));
  EXPECT_NE(0, MatchPattern(code.get(), text.c_str(), 65536 + 1, 0, 0));
}

TEST(Matcher, SearchesOverAFullLengthTextEnd) {
  // 65535 bytes: a start of 65535 + 1 would wrap to 0 in 16 bits; the walk stops instead.
  const std::string text(65535, 'a');
  TCode code = Compile("b");
  EXPECT_EQ(0, MatchPattern(code.get(), text.c_str(), text.size(), 0, 1));
  EXPECT_EQ(0, MatchPattern(code.get(), text.c_str(), text.size(), 65535, 0xFFFF));
  TCode end = Compile("$");
  EXPECT_NE(0, MatchPattern(end.get(), text.c_str(), text.size(), 65000, 1));
  EXPECT_EQ(text.c_str() + 65535, PatternResult());
}

TEST(Matcher, StepLimitEndsRunawayMatches) {
  TCode code = Compile("(()^65535)^65535");
  SetPatternStepLimit(100000);
  EXPECT_EQ(0, MatchPattern(code.get(), "", 0, 0, 0));
  EXPECT_EQ(PatternNoMatch, PatternStatus());
  SetPatternStepLimit(0);
  TCode small = Compile("(()^3)^3");
  EXPECT_NE(0, MatchPattern(small.get(), "", 0, 0, 0));
}

}  // namespace
