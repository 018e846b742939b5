#include "old_file_index.h"

namespace {
constexpr uint32_t Multiplier = 0x01000193;  // odd, so every byte value moves the hash

// Multiplier raised to WindowSize - 1: the weight of the byte that leaves the window.
constexpr uint32_t OutWeight() {
  uint32_t weight = 1;
  for (size_t i = 1; i < TOldFileIndex::WindowSize; ++i) weight *= Multiplier;
  return weight;
}
}  // namespace

uint32_t TOldFileIndex::Hash(const uint8_t* bytes) {
  uint32_t hash = 0;
  for (size_t i = 0; i < WindowSize; ++i) hash = hash * Multiplier + bytes[i] + 1;
  return hash;
}

uint32_t TOldFileIndex::Roll(uint32_t hash, uint8_t out, uint8_t in) {
  return (hash - (out + 1u) * OutWeight()) * Multiplier + in + 1;
}

TOldFileIndex::TOldFileIndex(const uint8_t* data, size_t size) {
  const size_t count = size < WindowSize ? 0 : (size - WindowSize) / SampleStep + 1;
  // Bucket count: a power of two near half the window count (at least 2): chains of one or
  // two entries on average, and a table no larger than the offsets themselves.
  unsigned bits = 1;
  while (bits < 31 && (size_t{1} << (bits + 1)) <= count) ++bits;
  shift = 32 - bits;
  const size_t buckets = size_t{1} << bits;
  starts.assign(buckets + 1, 0);
  offsets.resize(count);

  // Counts, then running sums: starts[b] is the end of bucket b. Filling from the last
  // window backwards leaves starts[b] at the bucket's beginning and each bucket in offset
  // order, earliest first. Hashes are computed twice rather than stored, to keep the peak low.
  for (size_t i = 0; i < count; ++i) ++starts[Bucket(Hash(data + i * SampleStep))];
  for (size_t b = 1; b < buckets; ++b) starts[b] += starts[b - 1];
  starts[buckets] = static_cast<uint32_t>(count);
  for (size_t i = count; i-- > 0;)
    offsets[--starts[Bucket(Hash(data + i * SampleStep))]] = static_cast<uint32_t>(i * SampleStep);
}

const uint32_t* TOldFileIndex::Begin(uint32_t hash) const {
  return offsets.data() + starts[Bucket(hash)];
}

const uint32_t* TOldFileIndex::End(uint32_t hash) const {
  return offsets.data() + starts[Bucket(hash) + 1];
}
