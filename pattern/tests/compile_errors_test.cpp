// Every compile error code, reported alike by the first pass, the second pass and CompilePattern.
#include <gtest/gtest.h>

#include <string>

#include "pattern/pattern.h"
#include "pattern/tests/test_support.h"

namespace {

struct TErrorCase {
  std::string pattern;
  uint16_t status;
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

const TErrorCase ErrorCases[] = {
    // 3: the compiled form would need 32768 bytes or more (10 + 2 * 16379 = 32768).
    {Repeat("a", 16379), PatternOutOfMemory},
    {Repeat("a", 16377) + "[0-9]", PatternOutOfMemory},
    // 3: nesting deeper than the parser takes.
    {Repeat("(", 300) + "a" + Repeat(")", 300), PatternOutOfMemory},
    // 5: the opening atom of '<' produces no code.
    {"()<x>)", PatternEmptyNestOpener},
    {"(())<>x", PatternEmptyNestOpener},
    // 6: not two hexadecimal digits after '%'.
    {"%", PatternBadHexDigit},
    {"%4", PatternBadHexDigit},
    {"%4G", PatternBadHexDigit},
    {"%G4", PatternBadHexDigit},
    {"[%4]", PatternBadHexDigit},
    // 7: the pattern ends where a character is required.
    {"/", PatternEndTooEarly},
    {"[a-]", PatternEndTooEarly},
    {"[abc", PatternEndTooEarly},
    {"[", PatternEndTooEarly},
    {"[~", PatternEndTooEarly},
    {"!", PatternEndTooEarly},
    {"~", PatternEndTooEarly},
    {"&", PatternEndTooEarly},
    {"a|", PatternEndTooEarly},
    {"a<b>", PatternEndTooEarly},
    // 8: ':' followed by the end or by neither digits nor a macro letter.
    {":", PatternBadColon},
    {":%", PatternBadColon},
    {":e", PatternBadColon},
    {":Z", PatternBadColon},
    // 9: an error inside a macro body (here the size limit is reached inside :d).
    {Repeat("a", 16377) + ":d", PatternMacroError},
    // 10: the pattern ends before ')', '}' or '>'.
    {"(", PatternNotClosed},
    {"{a", PatternNotClosed},
    {"a<b", PatternNotClosed},
    {"(a|)", PatternNotClosed},
    {"(}", PatternNotClosed},
    // 11: '=' followed by anything else.
    {"=", PatternBadCaseSwitch},
    {"=x", PatternBadCaseSwitch},
    // 12: more than nine brace groups.
    {Repeat("{a}", 10), PatternTooManyTags},
    {"{{{{{{{{{{}}}}}}}}}}", PatternTooManyTags},
};

TEST(CompileErrors, EveryCodeFromEveryEntry) {
  for (const TErrorCase& c : ErrorCases) {
    const std::string shown = c.pattern.size() > 40 ? c.pattern.substr(0, 40) + "..." : c.pattern;
    EXPECT_EQ(0, PatternCodeSize(c.pattern.c_str())) << shown;
    EXPECT_EQ(c.status, PatternStatus()) << "first pass of \"" << shown << "\"";
    TCode code = Compile(c.pattern);
    EXPECT_FALSE(code) << shown;
    EXPECT_EQ(c.status, PatternStatus()) << "compile of \"" << shown << "\"";
    uint8_t buffer[64];
    EXPECT_EQ(nullptr, EmitPattern(c.pattern.c_str(), buffer, sizeof buffer)) << shown;
  }
}

TEST(CompileErrors, LimitsThatStillCompile) {
  const std::string fits[] = {
      Repeat("a", 16378),                                 // 32766 bytes
      Repeat("{a}", 9),                                   // nine brace groups
      Repeat("(", 150) + "a" + Repeat(")", 150),          // deep but within the nesting limit
      "()", ")", "}", "]", ">", "<", "|", "+", "#", "^3",  // literals where nothing expects them
  };
  for (const std::string& pattern : fits) {
    TCode code = Compile(pattern);
    EXPECT_TRUE(code) << pattern.substr(0, 40) << " status " << PatternStatus();
    EXPECT_EQ(PatternOk, PatternStatus());
  }
  TCode nine = Compile(Repeat("{a}", 9));
  EXPECT_EQ(10, PatternNextTag());
}

TEST(CompileErrors, EmitterRefusesABufferTooSmall) {
  uint8_t buffer[11];
  EXPECT_EQ(nullptr, EmitPattern("ab", buffer, sizeof buffer));
  EXPECT_EQ(PatternOutOfMemory, PatternStatus());
  EXPECT_EQ(nullptr, EmitPattern("", buffer, 1));
  EXPECT_EQ(PatternOutOfMemory, PatternStatus());
}

TEST(CompileErrors, AStatusOfZeroAfterSuccess) {
  PatternCodeSize("(");
  EXPECT_EQ(PatternNotClosed, PatternStatus());
  EXPECT_EQ(12, PatternCodeSize("a"));
  EXPECT_EQ(PatternOk, PatternStatus());
}

}  // namespace
