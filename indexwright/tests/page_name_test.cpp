// Which names a group's search finds, and in which order.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "indexwright/page_index.h"
#include "indexwright/page_name.h"

namespace {

struct TWildcardCase {
  const char* Name;
  const char* Prefix;
  bool Want;
};

const TWildcardCase WildcardCases[] = {
    {"01_a.htm", "01_", true},
    {"01_A.HTM", "01_", true},
    {"01_x.Htm", "01_", true},
    {"01_.htm", "01_", true},
    {"01_a.b.htm", "01_", true},
    {"0101_b.htm", "0101_", true},
    {"0101_b.htm", "01_", false},
    {"01_a.htm", "0101_", false},
    {"1_x.htm", "01_", false},
    {"100_x.htm", "10_", false},
    {"x.htm", "01_", false},
    {"01_x.html", "01_", false},
    {"01_x.htm.bak", "01_", false},
    {"01_x.htmx", "01_", false},
    {"01x.htm", "01_", false},
    {"001_x.htm", "01_", false},
    {"01_htm", "01_", false},
    {"01_.ht", "01_", false},
    {"", "01_", false},
};

TEST(PageName, WildcardFollowsTheLongNameRule) {
  for (const TWildcardCase& Case : WildcardCases) {
    EXPECT_EQ(Case.Want, MatchesPageWildcard(Case.Name, Case.Prefix)) << Case.Name << " against " << Case.Prefix;
  }
}

TEST(PageName, OrderIgnoresCaseThenUsesRawBytes) {
  std::vector<std::string> Names = {"01_b.htm", "01_a2.htm", "01_A.htm", "01_a.htm", "01_B.htm", "01_~.htm",
                                    "01_\xE9.htm", "01_[.htm", "01_Z.htm", "01_.htm"};
  std::sort(Names.begin(), Names.end(), PageNameLess);
  // '.' < digits < letters < '[' < '_' < '~' < 8-bit bytes; "A" before "a" when only case differs.
  const std::vector<std::string> Want = {"01_.htm",  "01_A.htm", "01_a.htm", "01_a2.htm", "01_B.htm",
                                         "01_b.htm", "01_Z.htm", "01_[.htm", "01_~.htm",  "01_\xE9.htm"};
  EXPECT_EQ(Want, Names);
}

// The index must answer every question as a full search with the wildcard followed by
// sorting does; random names over a small alphabet meet the prefixes often.
TEST(PageIndex, AgreesWithAFullSearch) {
  std::mt19937 Random(6);
  const std::string Alphabet = "0123_.hHtTmMx";
  std::vector<std::string> Names;
  for (int I = 0; I < 3000; ++I) {
    std::string Name;
    size_t Length = Random() % 12;
    for (size_t J = 0; J < Length; ++J) Name += Alphabet[Random() % Alphabet.size()];
    if (Random() % 2) Name += (Random() % 2) ? ".htm" : ".HTM";
    Names.push_back(Name);
  }
  TPageIndex Index(Names);
  std::vector<std::string> Prefixes = {"", "_"};
  for (const char* Group : {"0", "1", "2", "3", "00", "01", "12", "0123", "3210", "0000"}) Prefixes.push_back(std::string(Group) + "_");
  for (const std::string& Prefix : Prefixes) {
    std::vector<std::string> Want;
    for (const std::string& Name : Names) {
      if (MatchesPageWildcard(Name, Prefix)) Want.push_back(Name);
    }
    std::stable_sort(Want.begin(), Want.end(), PageNameLess);
    std::vector<std::string> Got = {"left over"};
    Index.FindPages(Prefix, Got);
    EXPECT_EQ(Want, Got) << "prefix " << Prefix;
  }
}

}  // namespace
