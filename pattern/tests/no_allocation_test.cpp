// A match operation allocates nothing: counted through the replaceable global operator new,
// which every allocation of the C++ library goes through.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "pattern/pattern.h"
#include "pattern/tests/test_support.h"

namespace {
long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(NoAllocation, MatchingAllocatesNothing) {
  TCode code = Compile("=-{*/:\\(*\\)#}*:p~a&b(x|y)#<z>q");
  ASSERT_TRUE(code);
  const std::string text = "C:\\A\\B\\X.EXE and a longer tail of text to search through";
  const long before = allocations;
  MatchPattern(code.get(), text.c_str(), text.size(), 0, 0);
  MatchPattern(code.get(), text.c_str(), text.size(), 0, 1);
  MatchPattern(code.get(), text.c_str(), text.size(), uint16_t(text.size()), 0xFFFF);
  MatchPattern(code.get(), text.c_str(), text.c_str() + 3, 1);
  EXPECT_EQ(before, allocations);
}

}  // namespace
