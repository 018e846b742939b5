// Invalid and damaged byte-code: status 4, never a read or write outside the code buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pattern/pattern.h"
#include "pattern/pattern_opcodes.h"
#include "pattern/tests/test_support.h"

namespace {

// Code behind a size header that covers exactly the bytes given.
std::vector<uint8_t> Code(std::vector<uint8_t> body) {
  const size_t size = body.size() + 2;
  body.insert(body.begin(), {uint8_t(size), uint8_t(size >> 8)});
  return body;
}

struct TGuardCase {
  const char* what;
  std::vector<uint8_t> body;  // from address 2 on
};

const TGuardCase GuardCases[] = {
    {"opcode 35", {0x23}},
    {"opcode 255", {0xFF}},
    {"no code at all", {}},
    {"jump past the end", {JUMP_W, 0x10, 0x00}},
    {"jump before the code", {JUMP_B, 0xFB}},
    {"jump into the header", {JUMP_B, 0xFC}},
    {"operand cut off", {JUMP_W, 0x00}},
    {"slot past the end", {STORE_POS, 0x00, 0x00}},
    {"slot over the size header", {STORE_POS, 0xFB, 0xFF}},
    {"slot half outside", {STORE_POS, 0x00, 0x00, SUCCEED}},
    {"tag 11", {TAG_START, 11, SUCCEED}},
    {"back-reference to tag 200", {BACKREF, 200, SUCCEED}},
    {"fail on an empty stack", {FAIL}},
    {"pop on an empty stack", {POP_POS, SUCCEED}},
    {"pop a slot on an empty stack", {POP_SLOT, 0x01, 0x00, SUCCEED, 0xFF, 0xFF}},
    {"pop the case on an empty stack", {POP_CASE, SUCCEED}},
    {"depth raised by LOAD_DEPTH", {SET_SLOT, 0x05, 0x00, 0x00, 0x00, LOAD_DEPTH, 0xFB, 0xFF, SUCCEED}},
    {"class items past the end", {IN_CLASS, CLASS_RUN, 0x09, 'a'}},
    {"class range cut off", {IN_CLASS, CLASS_RANGE, 'a'}},
    {"class without its end", {IN_CLASS, 0x07, 0x07}},
    {"backtrack to a saved position", {PUSH_POS, FAIL}},
    {"run off the end", {ANY}},
};

TEST(BytecodeGuard, DamagedCodeEndsWithStatusFour) {
  for (const TGuardCase& c : GuardCases) {
    std::vector<uint8_t> code = Code(c.body);
    // An exact-size heap copy, so that the sanitizer sees any access outside it.
    auto* buffer = new uint8_t[code.size()];
    std::copy(code.begin(), code.end(), buffer);
    const std::string text = "abc";
    EXPECT_EQ(0, MatchPattern(buffer, text.c_str(), text.size(), 0, 0)) << c.what;
    EXPECT_EQ(PatternInvalidCode, PatternStatus()) << c.what;
    EXPECT_EQ(nullptr, PatternResult()) << c.what;
    EXPECT_EQ(code[0], buffer[0]) << c.what;
    EXPECT_EQ(code[1], buffer[1]) << c.what;
    delete[] buffer;
  }
}

TEST(BytecodeGuard, FillerBehindTheCodeIsInvalid) {
  TCode code = Compile("a");
  code.get()[9] = 0xFF;  // TAG_END 0 -> filler: the run walks into 0xFF
  EXPECT_EQ(0, MatchPattern(code.get(), "a", 1, 0, 0));
  EXPECT_EQ(PatternInvalidCode, PatternStatus());
  code.get()[9] = 0x23;
  EXPECT_EQ(0, MatchPattern(code.get(), "a", 1, 0, 1));
  EXPECT_EQ(PatternInvalidCode, PatternStatus());
  // Where the invalid byte is never reached, the match goes on as usual.
  EXPECT_EQ(0, MatchPattern(code.get(), "b", 1, 0, 0));
  EXPECT_EQ(PatternNoMatch, PatternStatus());
}

TEST(BytecodeGuard, UnknownClassItemEndsTheSearchWithoutAHit) {
  // [run "a", item 7, run "b"]: 'a' is found, 'b' is not, and the items are still skipped.
  std::vector<uint8_t> code = Code({PUSH_ALT_B, 0x01, NEXT_START, IN_CLASS, CLASS_RUN, 1, 'a', 0x07,
                                    CLASS_RUN, 1, 'b', CLASS_END, SUCCEED});
  EXPECT_NE(0, MatchPattern(code.data(), "a", 1, 0, 0));
  EXPECT_EQ(0, MatchPattern(code.data(), "b", 1, 0, 0));
  EXPECT_EQ(PatternNoMatch, PatternStatus());
}

TEST(BytecodeGuard, NullCodeAndText) {
  EXPECT_EQ(0, MatchPattern(nullptr, "a", 1, 0, 0));
  EXPECT_EQ(PatternInvalidCode, PatternStatus());
  TCode code = Compile("");
  EXPECT_NE(0, MatchPattern(code.get(), nullptr, 5, 0, 0));
  EXPECT_NE(0, MatchPattern(code.get(), "abc", nullptr, 0));
}

}  // namespace
