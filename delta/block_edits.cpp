#include "block_edits.h"

namespace BlockEdits {
namespace {

// Finds the next edit at or after *position: [start, end) holds every differing byte up to
// the next gap longer than MergeGap, at most MaxEditCount bytes. False when no byte differs.
bool NextEdit(const uint8_t* oldBlock, const uint8_t* newBlock, size_t& position, size_t& start,
              size_t& end) {
  size_t i = position;
  while (i < BlockSize && oldBlock[i] == newBlock[i]) ++i;
  if (i == BlockSize) {
    position = BlockSize;
    return false;
  }
  start = i;
  size_t last = i;  // last differing byte taken into the edit
  for (size_t j = i + 1; j < BlockSize && j - last - 1 <= MergeGap; ++j) {
    if (oldBlock[j] == newBlock[j]) continue;
    if (j - start + 1 > MaxEditCount) break;
    last = j;
  }
  end = last + 1;
  position = end;
  return true;
}

}  // namespace

size_t Cost(const uint8_t* oldBlock, const uint8_t* newBlock, size_t limit) {
  size_t cost = CopyBaseCost;
  size_t position = 0, start = 0, end = 0;
  while (cost <= limit && NextEdit(oldBlock, newBlock, position, start, end))
    cost += EditHeaderSize + (end - start);
  return cost;
}

void AppendEdits(const uint8_t* oldBlock, const uint8_t* newBlock, std::vector<uint8_t>& out) {
  size_t position = 0, start = 0, end = 0;
  while (NextEdit(oldBlock, newBlock, position, start, end)) {
    out.push_back(static_cast<uint8_t>(start));
    out.push_back(static_cast<uint8_t>(end - start));
    out.insert(out.end(), newBlock + start, newBlock + end);
  }
  out.push_back(0);
  out.push_back(0);
}

}  // namespace BlockEdits
