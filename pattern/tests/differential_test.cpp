// The matcher against the slow reference, over random patterns of the clean subset and every
// text of up to five letters over {a, b}: anchored matches, forward and backward searches.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pattern/pattern.h"
#include "pattern/tests/slow_reference_matcher.h"
#include "pattern/tests/test_support.h"

namespace {

std::vector<std::string> AllTexts(int maxLength) {
  std::vector<std::string> texts{""};
  for (size_t from = 0; from < texts.size(); ++from)
    if (int(texts[from].size()) < maxLength) {
      texts.push_back(texts[from] + "a");
      texts.push_back(texts[from] + "b");
    }
  return texts;
}

TEST(Differential, MatcherAgreesWithTheSlowReference) {
  std::mt19937 random(20240601);
  const std::vector<std::string> texts = AllTexts(5);
  int failures = 0;
  for (int round = 0; round < 200 && failures < 10; ++round) {
    auto reference = RandomReferencePattern(random, 2);
    const std::string pattern = reference->Text();
    TCode code = Compile(pattern);
    ASSERT_TRUE(code) << pattern << " status " << PatternStatus();
    for (const std::string& text : texts) {
      const int length = int(text.size());
      // Anchored at every start: the first end the reference lists is tag 0's end.
      std::vector<int> firstEnd(length + 1, -1);
      for (int start = 0; start <= length; ++start) {
        std::vector<int> ends = reference->Ends(text, start);
        if (!ends.empty()) firstEnd[start] = ends[0];
        const uint16_t got = MatchPattern(code.get(), text.c_str(), text.size(), uint16_t(start), 0);
        const int wantLength = firstEnd[start] < 0 ? -1 : firstEnd[start] - start;
        const int gotLength = got ? int(PatternTagLength(0)) : -1;
        if (wantLength != gotLength) {
          ++failures;
          ADD_FAILURE() << "pattern " << pattern << " text \"" << text << "\" start " << start
                        << ": want length " << wantLength << ", got " << gotLength;
        }
      }
      // Searches take the first start, in step order, at which an anchored match succeeds.
      int forward = -1, backward = -1;
      for (int start = 0; start <= length && forward < 0; ++start)
        if (firstEnd[start] >= 0) forward = start;
      for (int start = length; start >= 0 && backward < 0; --start)
        if (firstEnd[start] >= 0) backward = start;
      MatchPattern(code.get(), text.c_str(), text.size(), 0, 1);
      const int gotForward = ResultOffset(text.c_str(), PatternResult());
      MatchPattern(code.get(), text.c_str(), text.size(), uint16_t(length), 0xFFFF);
      const int gotBackward = ResultOffset(text.c_str(), PatternResult());
      if (forward != gotForward || backward != gotBackward) {
        ++failures;
        ADD_FAILURE() << "pattern " << pattern << " text \"" << text << "\": forward want " << forward
                      << " got " << gotForward << ", backward want " << backward << " got " << gotBackward;
      }
    }
  }
}

}  // namespace
