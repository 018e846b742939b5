// The edit list of one copy block: exact cost, merging of short gaps, the 255-byte limit and
// the rule that only (0, 0) ends a list.
#include "delta/block_edits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace BlockEdits;

struct TEdit {
  uint8_t Offset;
  uint8_t Count;
};

struct TEditCase {
  const char* Name;
  std::vector<size_t> Changed;  // offsets whose byte differs
  std::vector<TEdit> Want;
};

// The edit list as stored: each edit carries the new block's bytes, then (0, 0).
std::vector<uint8_t> Stored(const std::vector<TEdit>& edits, const uint8_t* newBlock) {
  std::vector<uint8_t> all;
  for (const TEdit& e : edits) {
    all.push_back(e.Offset);
    all.push_back(e.Count);
    all.insert(all.end(), newBlock + e.Offset, newBlock + e.Offset + e.Count);
  }
  all.push_back(0);
  all.push_back(0);
  return all;
}

TEST(BlockEdits, ListsAndCosts) {
  std::vector<size_t> everything, evenAndLast;
  for (size_t i = 0; i < BlockSize; ++i) everything.push_back(i);
  for (size_t i = 0; i < BlockSize; i += 2) evenAndLast.push_back(i);
  evenAndLast.push_back(255);
  const TEditCase cases[] = {
      {"identical", {}, {}},
      {"first_byte_carries_a_byte", {0}, {{0, 1}}},
      {"last_byte", {255}, {{255, 1}}},
      {"gap_of_two_is_merged", {10, 13}, {{10, 4}}},
      {"gap_of_three_is_split", {10, 14}, {{10, 1}, {14, 1}}},
      {"run_across_gaps", {0, 1, 3, 5, 6}, {{0, 7}}},
      {"whole_block_splits_at_255", everything, {{0, 255}, {255, 1}}},
      {"merge_stops_at_255_bytes", evenAndLast, {{0, 255}, {255, 1}}},
  };
  for (const TEditCase& c : cases) {
    SCOPED_TRACE(c.Name);
    uint8_t oldBlock[BlockSize] = {}, newBlock[BlockSize] = {};
    for (size_t i : c.Changed) newBlock[i] = 0xEE;
    std::vector<uint8_t> got;
    AppendEdits(oldBlock, newBlock, got);
    EXPECT_EQ(Stored(c.Want, newBlock), got);
    EXPECT_EQ(HeaderSize + got.size(), Cost(oldBlock, newBlock, 100000));
  }
}

TEST(BlockEdits, CostStopsPastLimit) {
  uint8_t oldBlock[BlockSize] = {}, newBlock[BlockSize];
  for (size_t i = 0; i < BlockSize; ++i) newBlock[i] = static_cast<uint8_t>(i % 2 ? 1 : 0);
  EXPECT_LT(size_t{20}, Cost(oldBlock, newBlock, 20));
}

}  // namespace
