#pragma once
// The edit list of one copy block: which bytes of a 256-byte block taken from the previous
// version must be replaced to give the block of the new version, and what that costs.
//
// An edit is (offset, count, count bytes) with offset + count <= 256; the list ends with
// (0, 0), so an edit at offset 0 always carries at least one byte (it only ever starts at a
// differing byte). Two runs of differing bytes separated by a gap of at most MergeGap equal
// bytes are one edit: carrying the gap costs no more than the 2-byte header of a second
// edit, and fewer headers compress better.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace BlockEdits {

constexpr size_t BlockSize = 256;
constexpr size_t HeaderSize = 8;            // destination and source
constexpr size_t TerminatorSize = 2;        // the (0, 0) edit
constexpr size_t EditHeaderSize = 2;
constexpr size_t MaxEditCount = 255;
constexpr size_t MergeGap = 2;
constexpr size_t LiteralCost = HeaderSize + BlockSize;  // a literal block, whatever its length
constexpr size_t CopyBaseCost = HeaderSize + TerminatorSize;

// Bytes the copy block (header, edits, terminator) would occupy in the delta, or a value
// above limit as soon as it is known to exceed limit.
size_t Cost(const uint8_t* oldBlock, const uint8_t* newBlock, size_t limit);

// Appends the edits and the terminator of the copy block (not its 8-byte header).
void AppendEdits(const uint8_t* oldBlock, const uint8_t* newBlock, std::vector<uint8_t>& out);

}  // namespace BlockEdits
