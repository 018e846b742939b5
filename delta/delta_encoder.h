#pragma once
// The block delta encoder: turns the previous and the new version of a file into the block
// delta that the modify patch applies (format in patch/delta_decoder.h).
//
// For every 256-byte block of the new version it looks for the offset in the previous
// version (any byte offset) from which the block is cheapest to build: the offset that
// continues the previous block's shift, a few recently used shifts, offsets found through
// an index of the previous version's windows, and the end of the previous version (where the
// engine reads zero bytes, which serves blocks of padding). Every candidate is costed
// exactly (header, edit list, terminator); a literal block is written when no copy is
// cheaper. Since patches travel compressed, a change of shift costs a small penalty: runs of
// blocks with one shift give regular headers that compress to little.
//
// Zero fill: a copy block reads 256 bytes at its source; where they run past the end of the
// previous version the engine supplies zero bytes, and the encoder counts on exactly that
// when it costs such a source.
//
// File end: a copy block always writes 256 bytes. A new version whose length is not a
// multiple of 256 ends either with a literal block of its last length % 256 bytes or, when
// cheaper, with a copy block written at length - 256, which overlaps the block before it
// with the same bytes and so ends the file exactly where it must.
//
// Memory: both versions in memory, an index of about the previous version's size, and the
// delta itself.

#include <cstddef>
#include <cstdint>
#include <vector>

// Largest size either version may have: block offsets are 32-bit signed numbers.
constexpr size_t MaxDeltaFileSize = 0x7FFFFFFF - 256;

struct TDeltaStats {
  size_t CopyBlocks = 0;
  size_t LiteralBlocks = 0;
  size_t EditedBytes = 0;  // replacement bytes carried by edits
};

// Told how far the encoder has come: bytes of the new version done of total.
using TDeltaProgress = void (*)(void* context, size_t done, size_t total);

// Fills delta with the block delta that rebuilds newData from oldData. False (and delta
// empty) when the new version is empty, which no block can express, or when either version
// exceeds MaxDeltaFileSize.
bool EncodeDelta(const uint8_t* oldData, size_t oldSize, const uint8_t* newData, size_t newSize,
                 std::vector<uint8_t>& delta, TDeltaStats* stats = nullptr,
                 TDeltaProgress progress = nullptr, void* progressContext = nullptr);
