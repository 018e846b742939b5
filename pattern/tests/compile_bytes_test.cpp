// The compiled form byte for byte: size header from the first pass, prologue, each construct's
// template with its offsets and slots, epilogue, 0xFF behind the code. Every expected sequence
// was worked out by hand from the templates; '|' separates instructions for the reader.
#include <gtest/gtest.h>

#include "pattern/pattern.h"
#include "pattern/tests/test_support.h"

namespace {

struct TBytesCase {
  const char* pattern;
  const char* bytes;  // header, prologue 01 01 08 0B 00, the construct, epilogue 0C 00 03, fill
};

#define P "01 01 08 0B 00 |"
#define E "| 0C 00 03"

const TBytesCase BytesCases[] = {
    {"", "0A 00 |" P E},
    {"?", "0B 00 |" P "19" E},
    {"^", "0B 00 |" P "16" E},
    {"$", "0B 00 |" P "15" E},
    {"$3", "0C 00 |" P "02 03" E},
    {":12", "0D 00 |" P "14 0C 00" E},
    {":65535", "0D 00 |" P "14 FF FF" E},
    {"-", "0C 00 |" P "0B 0A" E},
    {"a", "0C 00 |" P "18 61" E},
    {"%41", "0C 00 |" P "18 41" E},
    {"%7e", "0C 00 |" P "18 7E" E},
    {"/:", "0C 00 |" P "18 3A" E},
    {"/%", "0C 00 |" P "18 25" E},
    {")", "0C 00 |" P "18 29" E},
    {"}", "0C 00 |" P "18 7D" E},
    {"<", "0C 00 |" P "18 3C" E},
    {"#", "0C 00 |" P "18 23" E},
    {"\\.,", "10 00 |" P "18 5C | 18 2E | 18 2C" E},
    {"!a", "0C 00 |" P "1C 61" E},
    {"!/-", "0C 00 |" P "1C 2D" E},
    {"(ab)", "0E 00 |" P "18 61 | 18 62" E},
    {"()", "0A 00 |" P E},
    {"{a}", "10 00 |" P "0B 01 | 18 61 | 0C 01" E},
    {"{}{}", "12 00 |" P "0B 01 | 0C 01 | 0B 02 | 0C 02" E},
    {"{{a}}", "14 00 |" P "0B 01 | 0B 02 | 18 61 | 0C 02 | 0C 01" E},
    // Classes: the first pass counts 3 bytes a member, the code holds runs and ranges.
    {"[a-z_]", "12 00 |" P "17 | 01 61 7A | 02 01 5F | 00" E},
    {"[abc]", "15 00 |" P "17 | 02 03 61 62 63 | 00" E "| FF FF FF FF"},
    {"[~a-cx]", "12 00 |" P "1B | 01 61 63 | 02 01 78 | 00" E},
    {"[ab0-9cd]", "1B 00 |" P "17 | 02 02 61 62 | 01 30 39 | 02 02 63 64 | 00" E "| FF FF FF FF"},
    {"[]", "0C 00 |" P "17 00" E},
    {"[~]", "0C 00 |" P "1B 00" E},
    {"[-a]", "12 00 |" P "17 | 02 02 2D 61 | 00" E "| FF FF"},
    {"[/-a]", "12 00 |" P "17 | 02 02 2D 61 | 00" E "| FF FF"},
    {"[/]%5D]", "12 00 |" P "17 | 02 02 5D 5D | 00" E "| FF FF"},
    {"[a~]", "12 00 |" P "17 | 02 02 61 7E | 00" E "| FF FF"},
    {"*", "11 00 |" P "11 | 01 04 | 0F | 19 | 07 F9" E},
    {"=+", "10 00 |" P "21 | 1F | 01 02 | 22 | 13" E},
    {"=-", "10 00 |" P "21 | 20 | 01 02 | 22 | 13" E},
    {"==", "10 00 |" P "21 | 1E | 01 02 | 22 | 13" E},
    // &A: +0 STORE_POS @+5; +3 JUMP_B ->+7; +5 slot; +7 A; LOAD_POS @+5
    {"&a", "16 00 |" P "0D 02 00 | 07 02 | FF FF | 18 61 | 09 F9 FF" E},
    // ~A: STORE_DEPTH @+14; STORE_POS @+16; PUSH_ALT_B ->+18; LOAD_POS @+16; JUMP_W ->end;
    // slots; A; LOAD_DEPTH @+14; LOAD_POS @+16; FAIL
    {"~a", "25 00 |" P "0E 0B 00 | 0D 0A 00 | 01 0A | 09 05 00 | 06 0D 00 | FF FF | FF FF | 18 61 |"
                     " 0A F7 FF | 09 F6 FF | 13" E},
    // A|B: PUSH_POS; PUSH_ALT_B ->+7; POP_POS; JUMP_W ->B; A; JUMP_W ->end; B
    {"a|b", "18 00 |" P "11 | 01 04 | 0F | 06 05 00 | 18 61 | 06 02 00 | 18 62" E},
    {"a|()", "16 00 |" P "11 | 01 04 | 0F | 06 05 00 | 18 61 | 06 00 00" E},
    // A+ / A++: PUSH_SLOT @+9; PUSH_ALT_B ->+11/+16; POP_SLOT @+9; FAIL; slot; PUSH_POS;
    // PUSH_ALT_W ->end; POP_POS; STORE_POS @+9; A; FAIL_IF_SAME @+9; JUMP_W ->+11
    {"a+", "25 00 |" P "12 06 00 | 01 06 | 10 01 00 | 13 | FF FF | 11 | 00 0C 00 | 0F | 0D F6 FF |"
                     " 18 61 | 1A F1 FF | 06 F0 FF" E},
    {"a++", "25 00 |" P "12 06 00 | 01 0B | 10 01 00 | 13 | FF FF | 11 | 00 0C 00 | 0F | 0D F6 FF |"
                      " 18 61 | 1A F1 FF | 06 F0 FF" E},
    // A# / A##: PUSH_SLOT @+19; STORE_POS @+19; PUSH_ALT_B ->+12/+21; POP_SLOT @+19; FAIL;
    // PUSH_POS; PUSH_ALT_B ->+21; POP_POS; JUMP_W ->end; slot; A; FAIL_IF_SAME @+19; JUMP_W ->+12
    {"a#", "27 00 |" P "12 10 00 | 0D 0D 00 | 01 04 | 10 08 00 | 13 | 11 | 01 06 | 0F | 06 0A 00 |"
                     " FF FF | 18 61 | 1A F9 FF | 06 EF FF" E},
    {"a##", "27 00 |" P "12 10 00 | 0D 0D 00 | 01 0D | 10 08 00 | 13 | 11 | 01 06 | 0F | 06 0A 00 |"
                      " FF FF | 18 61 | 1A F9 FF | 06 EF FF" E},
    // A^n: SET_SLOT n, slot at +3; JUMP_W ->DEC_SLOT_JUMP; A; DEC_SLOT_JUMP @+3 ->+8
    {"a^3", "19 00 |" P "1D 03 00 FF FF | 06 02 00 | 18 61 | 05 F6 FF F9 FF" E},
    {"a^", "19 00 |" P "1D 00 00 FF FF | 06 02 00 | 18 61 | 05 F6 FF F9 FF" E},
    {"a^258", "19 00 |" P "1D 02 01 FF FF | 06 02 00 | 18 61 | 05 F6 FF F9 FF" E},
    {"^3", "0D 00 |" P "16 | 18 33" E},
    // A<B>Z: SET_SLOT FFFF, slot at +3; A; Q: INC_SLOT @+3; STORE_POS @P; PUSH_ALT_W ->+5;
    // LOAD_POS @P; PUSH_ALT_W ->Z; LOAD_POS @P; B; R: JUMP_W ->Q+3; P: slot; Z;
    // DEC_SLOT_JUMP @+3 ->Q+3
    {"a<b>c", "31 00 |" P "1D FF FF FF FF | 18 61 | 04 F9 FF | 0D 11 00 | 00 F5 FF | 09 0B 00 |"
                        " 00 0A 00 | 09 05 00 | 18 62 | 06 EC FF | FF FF | 18 63 | 05 DE FF E3 FF" E},
    {"a<>c", "30 00 |" P "1D FF FF FF FF | 18 61 | 04 F9 FF | 0D 10 00 | 00 F5 FF | 09 0A 00 |"
                       " 00 09 00 | 09 04 00 | 19 | 06 ED FF | FF FF | 18 63 | 05 DF FF E4 FF" E},
    // Operators do not stack: a#+ is a# and a literal plus.
    {"a#+", "29 00 |" P "12 10 00 | 0D 0D 00 | 01 04 | 10 08 00 | 13 | 11 | 01 06 | 0F | 06 0A 00 |"
                      " FF FF | 18 61 | 1A F9 FF | 06 EF FF | 18 2B" E},
    // Alternation binds tighter than concatenation: ab|cd is a, (b|c), d.
    {"ab|cd", "1C 00 |" P "18 61 | 11 | 01 04 | 0F | 06 05 00 | 18 62 | 06 02 00 | 18 63 | 18 64" E},
    // A macro is one atom: :d is the class [0-9].
    {":d", "0F 00 |" P "17 01 30 39 00" E},
};

#undef P
#undef E

TEST(CompileBytes, EachTemplateByteForByte) {
  for (const TBytesCase& c : BytesCases) {
    TCode code = Compile(c.pattern);
    if (!code) {
      ADD_FAILURE() << "pattern \"" << c.pattern << "\" failed with status " << PatternStatus();
      continue;
    }
    EXPECT_EQ(Squeeze(c.bytes), Hex(code.get())) << "pattern \"" << c.pattern << "\"";
    EXPECT_EQ(PatternOk, PatternStatus());
  }
}

TEST(CompileBytes, FirstPassGivesTheSizeHeader) {
  for (const TBytesCase& c : BytesCases) {
    const uint16_t size = PatternCodeSize(c.pattern);
    EXPECT_EQ(Squeeze(c.bytes).size() / 2, size) << "pattern \"" << c.pattern << "\"";
  }
}

TEST(CompileBytes, RunsHoldAtMost255Characters) {
  static const char digits[] = "0123456789ABCDEF";
  std::string pattern = "[";
  for (int i = 0; i < 256; ++i) pattern += std::string("%") + digits[i >> 4] + digits[i & 15];
  pattern += "]";
  TCode code = Compile(pattern);
  ASSERT_TRUE(code);
  const uint8_t* c = code.get();
  EXPECT_EQ(10 + 2 + 3 * 256, CodeSizeOf(c));
  EXPECT_EQ(0x17, c[7]);  // IN_CLASS behind header and prologue
  EXPECT_EQ(0x02, c[8]);
  EXPECT_EQ(255, c[9]);
  for (int k = 0; k < 255; ++k) EXPECT_EQ(k, c[10 + k]);
  EXPECT_EQ(0x02, c[265]);
  EXPECT_EQ(1, c[266]);
  EXPECT_EQ(255, c[267]);
  EXPECT_EQ(0x00, c[268]);
  EXPECT_EQ(0x0C, c[269]);
}

}  // namespace
