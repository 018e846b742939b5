#pragma once
// Pseudo-random test contents, the same on every machine for a seed.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

// size bytes below values, fixed by seed (values 256: any byte). Few distinct values
// compress as code does.
inline std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed, unsigned values = 256) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random() % values);
  return bytes;
}
