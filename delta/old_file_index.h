#pragma once
// TOldFileIndex: where short windows of the previous version of a file lie, so that the
// delta encoder can find, for a block of the new version, the offsets in the previous
// version that share bytes with it.
//
// Only every SampleStep-th window of WindowSize bytes is indexed, which keeps the index at
// about one byte per byte of the previous version (an offset of 4 bytes per 8 bytes, and a
// bucket table of at most as many entries). A common run of WindowSize + SampleStep - 1
// bytes or more always contains a sampled window, so no match of that length is missed.
// Buckets are stored contiguously (counts, then prefix sums): no per-entry allocation.

#include <cstddef>
#include <cstdint>
#include <vector>

class TOldFileIndex {
 public:
  static constexpr size_t WindowSize = 16;
  static constexpr size_t SampleStep = 8;

  // data must outlive the index.
  TOldFileIndex(const uint8_t* data, size_t size);

  // The polynomial hash of WindowSize bytes at bytes.
  static uint32_t Hash(const uint8_t* bytes);
  // The hash of the window one byte further on: out leaves it, in enters it.
  static uint32_t Roll(uint32_t hash, uint8_t out, uint8_t in);

  // Offsets of sampled windows with this hash; the bytes still have to be compared.
  const uint32_t* Begin(uint32_t hash) const;
  const uint32_t* End(uint32_t hash) const;

 private:
  size_t Bucket(uint32_t hash) const { return (hash * 2654435761u) >> shift; }

  std::vector<uint32_t> starts;     // bucket b holds offsets[starts[b] .. starts[b + 1])
  std::vector<uint32_t> offsets;
  unsigned shift = 31;
};
