// Golden listings of whole compiled patterns: the ones the programs use and a few mixtures.
#include <gtest/gtest.h>

#include "pattern/pattern.h"
#include "pattern/pattern_dump.h"
#include "pattern/tests/test_support.h"

namespace {

struct TListingCase {
  const char* pattern;
  const char* listing;
};

const TListingCase ListingCases[] = {
    {"", R"(     2 PUSH_ALT_B ->5
     4 NEXT_START
     5 TAG_START 0
     7 TAG_END 0
     9 SUCCEED
)"},
    {"{*}\\{?#}", R"(     2 PUSH_ALT_B ->5
     4 NEXT_START
     5 TAG_START 0
     7 TAG_START 1
     9 PUSH_POS
    10 PUSH_ALT_B ->16
    12 POP_POS
    13 ANY
    14 JUMP_B ->9
    16 TAG_END 1
    18 CHAR '\'
    20 TAG_START 2
    22 PUSH_SLOT @41
    25 STORE_POS @41
    28 PUSH_ALT_B ->34
    30 POP_SLOT @41
    33 FAIL
    34 PUSH_POS
    35 PUSH_ALT_B ->43
    37 POP_POS
    38 JUMP_W ->50
    41 slot
    43 ANY
    44 FAIL_IF_SAME @41
    47 JUMP_W ->34
    50 TAG_END 2
    52 TAG_END 0
    54 SUCCEED
)"},
    {"/(<>/)", R"(     2 PUSH_ALT_B ->5
     4 NEXT_START
     5 TAG_START 0
     7 SET_SLOT 65535 @10
    12 CHAR '('
    14 INC_SLOT @10
    17 STORE_POS @36
    20 PUSH_ALT_W ->12
    23 LOAD_POS @36
    26 PUSH_ALT_W ->38
    29 LOAD_POS @36
    32 ANY
    33 JUMP_W ->17
    36 slot
    38 CHAR ')'
    40 DEC_SLOT_JUMP @10 ->17
    45 TAG_END 0
    47 SUCCEED
)"},
    {"=-~[%0D\"]-?+x^2", R"(     2 PUSH_ALT_B ->5
     4 NEXT_START
     5 TAG_START 0
     7 PUSH_CASE
     8 CASE_IGNORE
     9 PUSH_ALT_B ->13
    11 POP_CASE
    12 FAIL
    13 STORE_DEPTH @27
    16 STORE_POS @29
    19 PUSH_ALT_B ->31
    21 LOAD_POS @29
    24 JUMP_W ->44
    27 slot
    29 slot
    31 IN_CLASS run "%0D%22"
    37 LOAD_DEPTH @27
    40 LOAD_POS @29
    43 FAIL
    44 TAG_START 10
    46 PUSH_SLOT @55
    49 PUSH_ALT_B ->57
    51 POP_SLOT @55
    54 FAIL
    55 slot
    57 PUSH_POS
    58 PUSH_ALT_W ->72
    61 POP_POS
    62 STORE_POS @55
    65 ANY
    66 FAIL_IF_SAME @55
    69 JUMP_W ->57
    72 SET_SLOT 2 @75
    77 JUMP_W ->82
    80 CHAR 'x'
    82 DEC_SLOT_JUMP @75 ->80
    87 TAG_END 0
    89 SUCCEED
    90 fill 2
)"},
};

TEST(Dump, GoldenListings) {
  for (const TListingCase& c : ListingCases) {
    TCode code = Compile(c.pattern);
    if (!code) {
      ADD_FAILURE() << "pattern \"" << c.pattern << "\" status " << PatternStatus();
      continue;
    }
    EXPECT_EQ(std::string(c.listing), DumpPattern(code.get())) << "pattern \"" << c.pattern << "\"";
  }
}

TEST(Dump, SlotsAreTheCellsTheCodeNames) {
  TCode code = Compile("=-~[%0D\"]-?+x^2");
  ASSERT_TRUE(code);
  EXPECT_EQ((std::vector<uint32_t>{27, 29, 55, 75}), PatternSlots(code.get()));
}

TEST(Dump, DamagedCodeIsListedByteByByte) {
  uint8_t code[] = {7, 0, 0x23, 0xFF, 0x18, 0x61, 0xFF};
  EXPECT_EQ("     2 invalid '#'\n     3 invalid %FF\n     4 CHAR 'a'\n     6 fill 1\n", DumpPattern(code));
}

}  // namespace
