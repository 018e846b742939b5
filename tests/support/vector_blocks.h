#pragma once
// The two ends of the delta decoder over plain byte vectors, written the obvious way
// (no caching, no buffering), for tests.

#include <algorithm>
#include <cstring>
#include <vector>

#include "delta/delta_decoder.h"

class TVectorSource : public TBlockSource {
 public:
  explicit TVectorSource(const std::vector<uint8_t>& bytes) : bytes(bytes) {}
  bool ReadBlock(int64_t offset, uint8_t* block) override {
    std::memset(block, 0, DeltaBlockSize);
    for (size_t i = 0; i < DeltaBlockSize; ++i)
      if (static_cast<uint64_t>(offset) + i < bytes.size()) block[i] = bytes[static_cast<size_t>(offset) + i];
    return true;
  }

 private:
  const std::vector<uint8_t>& bytes;
};

class TVectorTarget : public TBlockTarget {
 public:
  std::vector<uint8_t> Bytes;
  int Blocks = 0;
  bool WriteBlock(int64_t offset, const uint8_t* data, size_t size) override {
    ++Blocks;
    const size_t at = static_cast<size_t>(offset);
    if (Bytes.size() < at + size) Bytes.resize(at + size, 0);
    std::copy(data, data + size, Bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
  }
};
