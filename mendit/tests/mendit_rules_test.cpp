// Start-up and log rules of mendit that do not need a window.

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

#include "mendit/log_rules.h"

namespace {

TEST(ScrollTopIndex, LastRowBecomesTheLastVisibleOne) {
  struct Case {
    int last, clientHeight, rowHeight, want;
  } cases[] = {
      {0, 130, 13, -1},   // 10 rows visible, first row
      {9, 130, 13, -1},   // the 10th row still fits
      {10, 130, 13, 1},   // the 11th scrolls by one
      {25, 130, 13, 16},
      {10, 135, 13, 1},   // partial rows do not count
      {3, 10, 13, 4},     // not even one whole row visible
      {5, 130, 0, -1},    // no usable row height
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, ScrollTopIndex(c.last, c.clientHeight, c.rowHeight));
}

TEST(LogFileNameFor, CabinetNameWithTheLogExtension) {
  const std::map<std::string, std::string> cases = {
      {"C:\\PATCH\\NOTES.CAB", "NOTES.log"}, {"NOTES.CAB", "NOTES.log"},     {"D:APP.V2.CAB", "APP.V2.log"},
      {"..\\PATCH\\NOEXT", "NOEXT.log"},     {"C:\\PATCH\\", "mendit.log"}, {"", "mendit.log"},
  };
  for (const auto& [patch, want] : cases) EXPECT_EQ(want, LogFileNameFor(patch)) << patch;
}

TEST(ProgressPosition, SixtyFourBitProduct) {
  struct Case {
    int32_t done, total;
    int want;
  } cases[] = {
      {500, 1000, 50}, {30000000, 60000000, 50}, {INT32_MAX, INT32_MAX, 100}, {0, 1, 0}, {1, 3, 33}, {5, 0, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, ProgressPosition(c.done, c.total));
}

}  // namespace
