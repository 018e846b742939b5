#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "difference/suffix_array.h"
#include "tests/support/synthetic_code.h"
#include "tests/support/random_bytes.h"

#ifdef HAVE_DIVSUFSORT
#include <divsufsort.h>
#endif

namespace {

using TBytes = std::vector<uint8_t>;

struct TText {
  std::string Name;
  TBytes Bytes;
};

TBytes Random(size_t size, unsigned alphabet, uint32_t seed) { return RandomBytes(size, seed, alphabet); }

TBytes Repeated(const std::string& unit, size_t size) {
  TBytes bytes;
  while (bytes.size() < size) bytes.push_back(static_cast<uint8_t>(unit[bytes.size() % unit.size()]));
  return bytes;
}

// Fibonacci words: the most repetitive text there is, deep recursion for induced sorting.
TBytes Fibonacci(size_t size) {
  std::string a = "a", b = "ab";
  while (b.size() < size) {
    std::string next = b + a;
    a = b;
    b = next;
  }
  return TBytes(b.begin(), b.begin() + size);
}

std::vector<TText> Texts(size_t size) {
  return {{"binary alphabet", Random(size, 2, 1)},   {"four letters", Random(size, 4, 2)},
          {"all bytes", Random(size, 256, 3)},       {"one byte repeated", TBytes(size, 0)},
          {"period three", Repeated("aab", size)},   {"period seven", Repeated("abcabca", size)},
          {"fibonacci word", Fibonacci(size)},       {"code", MakeSyntheticCode(size, 4, 0).Old}};
}

TEST(SuffixArrayTest, AgreesWithANaiveSort) {
  for (size_t size : {0, 1, 2, 3, 17, 1000}) {
    for (const TText& text : Texts(size)) {
      SCOPED_TRACE(text.Name + " of " + std::to_string(size));
      const TBytes& s = text.Bytes;
      std::vector<int32_t> expected(s.size());
      for (size_t i = 0; i < s.size(); i++) expected[i] = static_cast<int32_t>(i);
      std::sort(expected.begin(), expected.end(), [&](int32_t a, int32_t b) {
        return std::lexicographical_compare(s.begin() + a, s.end(), s.begin() + b, s.end());
      });
      std::vector<int32_t> suffixes;
      ASSERT_TRUE(BuildSuffixArray(s.data(), s.size(), suffixes));
      EXPECT_TRUE(suffixes == expected);
    }
  }
}

#ifdef HAVE_DIVSUFSORT
TEST(SuffixArrayTest, AgreesWithLibdivsufsort) {
  for (const TText& text : Texts(1 << 20)) {
    SCOPED_TRACE(text.Name);
    std::vector<int32_t> expected(text.Bytes.size());
    ASSERT_EQ(divsufsort(text.Bytes.data(), expected.data(), static_cast<saidx_t>(expected.size())), 0);
    std::vector<int32_t> suffixes;
    ASSERT_TRUE(BuildSuffixArray(text.Bytes.data(), text.Bytes.size(), suffixes));
    EXPECT_TRUE(suffixes == expected);
  }
}
#endif

}  // namespace
